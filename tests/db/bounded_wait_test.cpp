// Waits on a database end at their bounds and fail the step with the reason: a file another
// session keeps locked, a server that takes the connection and never answers, a statement the
// server stops at the connection text's own bound.
#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif
#include <gtest/gtest.h>

#include <chrono>

#include "db/database_fixture.hpp"

namespace solvard::db::testing {
namespace {

using Clock = std::chrono::steady_clock;
// Far above every bound these tests set, far below the defaults: proves a wait ended early.
constexpr std::chrono::seconds kEndedWell{8};

#ifdef _WIN32
using Socket = SOCKET;
constexpr Socket kNoSocket = INVALID_SOCKET;
void closeSocket(Socket socket) { closesocket(socket); }
// Winsock, started once for the program's lifetime.
bool socketsReady() {
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return started;
}
#else
bool socketsReady() { return true; }
using Socket = int;
constexpr Socket kNoSocket = -1;
void closeSocket(Socket socket) { close(socket); }
#endif

// A server on 127.0.0.1 that takes connections (the kernel completes them into the backlog) and
// never says a word.
class SilentServer {
 public:
  SilentServer() {
    if (!socketsReady()) return;
    fd_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd_ == kNoSocket || bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(fd_, 8) != 0 ||
        getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      return;
    }
    port_ = ntohs(address.sin_port);
  }
  ~SilentServer() {
    if (fd_ != kNoSocket) closeSocket(fd_);
  }
  int port() const { return port_; }

 private:
  Socket fd_ = kNoSocket;
  int port_ = 0;
};

TEST(BoundedWait, ALoginToAServerThatNeverAnswersTimesOut) {
  SilentServer server;
  ASSERT_NE(server.port(), 0);
  const std::string text =
      "Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=" + std::to_string(server.port()) +
      ";Database=d;Uid=u;pqopt={connect_timeout=2}";
  auto connection = makeOdbcConnection();
  const auto began = Clock::now();
  EXPECT_EQ(connection->Open(text), Outcome::kFailed);
  EXPECT_LT(Clock::now() - began, kEndedWell);
  EXPECT_EQ(connection->State(), kStateClosed);
  EXPECT_EQ(connection->lastDiagnostic(),
            (Diagnostic{"HYT00", 101,
                        "the login timed out after 2 s: connection to server at \"127.0.0.1\", "
                        "port " +
                            std::to_string(server.port()) + " failed: timeout expired\n"}));
}

class LockedFile : public ::testing::Test {
 protected:
  void SetUp() override {
    database_.create();
    ASSERT_EQ(holder_->Open(database_.text()), Outcome::kOk) << holder_->lastDiagnostic().text();
    ASSERT_EQ(holder_->Execute("create table Records (CardNo varchar(32))"), Outcome::kOk);
    // A write of another session, not yet committed, keeps the file locked for writing.
    ASSERT_EQ(holder_->BeginTrans(), Outcome::kOk);
    ASSERT_EQ(holder_->Execute("insert into Records values('held')"), Outcome::kOk);
  }
  void TearDown() override {
    if (holder_->inTransaction()) holder_->RollbackTrans();
  }

  Database database_{Engine::kSqlite};
  std::unique_ptr<Connection> holder_ = makeOdbcConnection();
};

TEST_F(LockedFile, AWriteTimesOutAtTheTextsLockWaitAndWritesNothing) {
  auto connection = makeOdbcConnection();
  ASSERT_EQ(connection->Open("Driver=SQLite3;Database=" + database_.text() + ";Timeout=500"),
            Outcome::kOk)
      << connection->lastDiagnostic().text();
  const auto began = Clock::now();
  EXPECT_EQ(connection->Execute("insert into Records values('1')"), Outcome::kFailed);
  EXPECT_LT(Clock::now() - began, kEndedWell);
  // The driver tries a locked statement twice, each time waiting the text's 500 ms.
  EXPECT_EQ(connection->lastDiagnostic(),
            (Diagnostic{"HYT00", 5,
                        "the database file stayed locked: timed out after 1 s: [SQLite]database "
                        "is locked (5)"}));
  EXPECT_EQ(connection->State(), kStateOpen);

  ASSERT_EQ(holder_->RollbackTrans(), Outcome::kOk);
  Rows rows;
  EXPECT_EQ(connection->queryRows("select count(*) from Records", rows), Outcome::kOk);
  EXPECT_EQ(rows, (Rows{{"0"}}));
}

// The lock wait in force once open, read back from the engine: the default bound for a text
// without `Timeout`, the driver's own wait (which the engine does not show) for one with it.
TEST_F(LockedFile, TheLockWaitIsTheStatementBoundUnlessTheTextGivesOne) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {database_.text(), "15000"},
      {"Driver=SQLite3;Database=" + database_.text(), "15000"},
      {"Driver=SQLite3;Database=" + database_.text() + ";Timeout=500", "0"},
  };
  for (const auto& [text, wait] : cases) {
    SCOPED_TRACE(text);
    auto connection = makeOdbcConnection();
    ASSERT_EQ(connection->Open(text), Outcome::kOk) << connection->lastDiagnostic().text();
    Rows rows;
    EXPECT_EQ(connection->queryRows("PRAGMA busy_timeout", rows), Outcome::kOk);
    EXPECT_EQ(rows, (Rows{{wait}}));
  }
}

TEST(BoundedWait, ThePostgresqlServerStopsAStatementAtTheBound) {
  Database database(Engine::kPostgresql);
  if (!database.create()) GTEST_SKIP() << "SOLVARD_PG_CONNECT is not set";
  // The default bound, as the server was told it for the statement.
  auto connection = makeOdbcConnection();
  ASSERT_EQ(connection->Open(database.text()), Outcome::kOk);
  Rows rows;
  EXPECT_EQ(connection->queryRows("show statement_timeout", rows), Outcome::kOk);
  EXPECT_EQ(rows, (Rows{{"30s"}}));

  // A bound of the text's own, reached.
  auto bounded = makeOdbcConnection();
  ASSERT_EQ(bounded->Open(database.server() + "ConnSettings={set statement_timeout to 300}"),
            Outcome::kOk)
      << bounded->lastDiagnostic().text();
  const auto began = Clock::now();
  EXPECT_EQ(bounded->Execute("select pg_sleep(20)"), Outcome::kFailed);
  EXPECT_LT(Clock::now() - began, kEndedWell);
  EXPECT_EQ(bounded->lastDiagnostic().sqlState, "HYT00");
  EXPECT_EQ(bounded->lastDiagnostic().message,
            "the statement timed out at the bound the connection text sets: ERROR: canceling "
            "statement due to statement timeout;\nError while executing the query");
  // The session stays: only the statement was stopped.
  rows.clear();
  EXPECT_EQ(bounded->queryRows("select 1", rows), Outcome::kOk);
  EXPECT_EQ(rows, (Rows{{"1"}}));
}

}  // namespace
}  // namespace solvard::db::testing
