#include "db/session_socket.hpp"

#include <gtest/gtest.h>

namespace solvard::db {
namespace {

// The sockets of a process around one session's connect.
class SocketChoice : public ::testing::Test {
 protected:
  static StreamSocket tcp(int descriptor, uint64_t identity, int localPort, int peerPort) {
    return {{descriptor, identity}, false, localPort, peerPort, {}};
  }
  static StreamSocket local(int descriptor, uint64_t identity, std::string path) {
    return {{descriptor, identity}, true, 0, 0, std::move(path)};
  }

  // An older session to the same server, and a network serial line.
  const std::vector<StreamSocket> before_ = {tcp(5, 100, 40001, 5432), tcp(6, 101, 40002, 4001)};
  std::string problem_;
};

TEST_F(SocketChoice, OverTcpTheNewSocketWithTheServersPortsIsTheSessions) {
  std::vector<StreamSocket> after = before_;
  // Another line opened meanwhile, and the session's own in the number of one closed meanwhile.
  after.push_back(tcp(7, 102, 40003, 4001));
  after[1] = tcp(6, 103, 40004, 5432);
  EXPECT_EQ(chooseSessionSocket(before_, after, {40004, 5432}, problem_), (SocketId{6, 103}));
  // The older session's ports are not the new one's.
  EXPECT_EQ(chooseSessionSocket(before_, after, {40001, 5432}, problem_), std::nullopt);
  EXPECT_EQ(problem_,
            "0 of the 2 sockets opened during the connect have the ports the server names (40001 "
            "to 5432)");
}

TEST_F(SocketChoice, OverAUnixDomainSocketTheNewOneToAPostgresqlSocketFileIsTheSessions) {
  std::vector<StreamSocket> after = before_;
  after.push_back(local(8, 104, "/var/run/nscd/socket"));
  after.push_back(local(9, 105, "/tmp/solvard-pg/socket/.s.PGSQL.55432"));
  EXPECT_EQ(chooseSessionSocket(before_, after, {}, problem_), (SocketId{9, 105}));
  after.push_back(local(10, 106, "/run/postgresql/.s.PGSQL.5432"));
  EXPECT_EQ(chooseSessionSocket(before_, after, {}, problem_), std::nullopt);
  EXPECT_EQ(problem_,
            "2 of the 3 sockets opened during the connect lead to a PostgreSQL socket file");
}

}  // namespace
}  // namespace solvard::db
