#include "db/session_socket.hpp"

#include <algorithm>

namespace solvard::db {
namespace {

// libpq's name for the server's socket file: ".s.PGSQL." and the port.
bool isPostgresqlSocketFile(const std::string& path) {
  const size_t slash = path.rfind('/');
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  return name.starts_with(".s.PGSQL.");
}

}  // namespace

std::optional<SocketId> chooseSessionSocket(const std::vector<StreamSocket>& before,
                                            const std::vector<StreamSocket>& after,
                                            const ServerView& server, std::string& problem) {
  const bool overTcp = server.clientPort && server.serverPort;
  size_t opened = 0;
  std::vector<SocketId> matching;
  for (const StreamSocket& socket : after) {
    const bool old = std::any_of(before.begin(), before.end(),
                                 [&](const StreamSocket& known) { return known.id == socket.id; });
    if (old) continue;
    ++opened;
    const bool matches = overTcp ? !socket.unixDomain && socket.localPort == *server.clientPort &&
                                       socket.peerPort == *server.serverPort
                                 : socket.unixDomain && isPostgresqlSocketFile(socket.peerPath);
    if (matches) matching.push_back(socket.id);
  }
  if (matching.size() == 1) return matching.front();
  const std::string what = overTcp ? "have the ports the server names (" +
                                         std::to_string(*server.clientPort) + " to " +
                                         std::to_string(*server.serverPort) + ")"
                                   : "lead to a PostgreSQL socket file";
  problem = std::to_string(matching.size()) + " of the " + std::to_string(opened) +
            " sockets opened during the connect " + what;
  return std::nullopt;
}

}  // namespace solvard::db
