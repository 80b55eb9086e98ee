// A PostgreSQL server process stopped (SIGSTOP) while a call waits on it: its kernel still
// acknowledges every packet and its own statement bound cannot fire, so only the client's watch
// ends the call. One backend of the test server is stopped, the server itself keeps serving.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "db/commit_outcome.hpp"
#include "db/database_fixture.hpp"

namespace solvard::db::testing {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// The server stops a statement at 1 s; the client gives it half a second more.
constexpr milliseconds kWatchBound{1500};
const std::string kGaveUp = "the server did not answer within 1.5 s and the session was closed";

// A backend of the test server, stopped while this lives and set going again however the test
// ends.
class StoppedBackend {
 public:
  explicit StoppedBackend(int pid) : pid_(pid) {}
  ~StoppedBackend() { resume(); }
  StoppedBackend(const StoppedBackend&) = delete;
  StoppedBackend& operator=(const StoppedBackend&) = delete;

  // Empty when stopped; else why not (then the test is skipped).
  std::string stop() {
    std::ifstream comm("/proc/" + std::to_string(pid_) + "/comm");
    std::string name;
    if (!std::getline(comm, name) || name != "postgres") {
      return "backend " + std::to_string(pid_) + " is not a postgres process of this machine";
    }
    if (kill(pid_, SIGSTOP) != 0) {
      return "cannot stop the server's process " + std::to_string(pid_) +
             " (run the tests as the server's user or as root)";
    }
    stopped_ = true;
    // The signal takes effect on its own time; a statement sent before would still be answered.
    for (int pass = 0; pass < 500 && state() != 'T'; ++pass) {
      std::this_thread::sleep_for(milliseconds(2));
    }
    return state() == 'T' ? "" : "backend " + std::to_string(pid_) + " did not stop";
  }

  void resume() {
    if (stopped_) kill(pid_, SIGCONT);
    stopped_ = false;
  }

 private:
  // The process's state letter in /proc/<pid>/stat, after the parenthesised name.
  char state() const {
    std::ifstream stat("/proc/" + std::to_string(pid_) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const size_t close = text.rfind(')');
    return close == std::string::npos || close + 2 >= text.size() ? '?' : text[close + 2];
  }

  int pid_;
  bool stopped_ = false;
};

class FrozenServer : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!database_.create()) GTEST_SKIP() << "SOLVARD_PG_CONNECT is not set";
    text_ = database_.server() + "ConnSettings={set search_path to " + database_.schema() +
            "; set statement_timeout to 1000}";
    ASSERT_EQ(connection_->Open(text_), Outcome::kOk) << connection_->lastDiagnostic().text();
    Rows rows;
    ASSERT_EQ(connection_->queryRows("select pg_backend_pid()", rows), Outcome::kOk);
    pid_ = std::stoi(rows.at(0).at(0));
  }

  // Waits until the server has ended the backend, after its client went away.
  void awaitBackendEnd() {
    auto admin = makeOdbcConnection();
    ASSERT_EQ(admin->Open(database_.server()), Outcome::kOk) << admin->lastDiagnostic().text();
    const std::string question =
        "select count(*) from pg_stat_activity where pid = " + std::to_string(pid_);
    Rows rows;
    for (int pass = 0; pass < 500; ++pass) {
      ASSERT_EQ(admin->queryRows(question, rows), Outcome::kOk);
      if (rows == Rows{{"0"}}) return;
      std::this_thread::sleep_for(milliseconds(10));
    }
    FAIL() << "the server did not end backend " << pid_;
  }

  Database database_{Engine::kPostgresql};
  std::string text_;
  std::unique_ptr<Connection> connection_ =
      makeOdbcConnectionWith({.watchMargin = milliseconds(500), .log = {}});
  int pid_ = 0;
};

TEST_F(FrozenServer, AStatementEndsAsALostSessionAtTheWatchBound) {
  StoppedBackend backend(pid_);
  if (const std::string why = backend.stop(); !why.empty()) GTEST_SKIP() << why;

  const auto began = Clock::now();
  EXPECT_EQ(connection_->Execute("select 1"), Outcome::kConnectionLost);
  const auto took = Clock::now() - began;
  EXPECT_GE(took, kWatchBound);
  EXPECT_LT(took, kWatchBound + std::chrono::seconds(3));
  EXPECT_EQ(connection_->lastDiagnostic().text(), "[HYT01] (0) " + kGaveUp);
  EXPECT_EQ(connection_->State(), kStateClosed);

  backend.resume();
  ASSERT_EQ(connection_->Open(), Outcome::kOk) << connection_->lastDiagnostic().text();
  Rows rows;
  EXPECT_EQ(connection_->queryRows("select 1", rows), Outcome::kOk);
  EXPECT_EQ(rows, (Rows{{"1"}}));
}

TEST_F(FrozenServer, ACommitEndsAsALostSessionWhoseOutcomeOnlyTheServerCanTell) {
  ASSERT_EQ(connection_->Execute("create table Records (CardNo varchar(32))"), Outcome::kOk);
  ASSERT_EQ(connection_->BeginTrans(), Outcome::kOk);
  ASSERT_EQ(connection_->Execute("insert into Records values('1')"), Outcome::kOk);
  const std::string marker = transactionMarker(*connection_);
  ASSERT_FALSE(marker.empty()) << connection_->lastDiagnostic().text();
  StoppedBackend backend(pid_);
  if (const std::string why = backend.stop(); !why.empty()) GTEST_SKIP() << why;

  const auto began = Clock::now();
  EXPECT_EQ(connection_->CommitTrans(), Outcome::kConnectionLost);
  EXPECT_LT(Clock::now() - began, kWatchBound + std::chrono::seconds(3));
  EXPECT_EQ(connection_->lastDiagnostic().text(),
            "[HYT01] (0) " + kGaveUp + ": whether the transaction committed is unknown");
  EXPECT_EQ(connection_->State(), kStateClosed);
  EXPECT_FALSE(connection_->inTransaction());

  // A new session reaches the server, which cannot yet tell: the stopped backend holds the commit.
  ASSERT_EQ(connection_->Open(), Outcome::kOk) << connection_->lastDiagnostic().text();
  EXPECT_EQ(askCommitState(*connection_, marker, [] {}), CommitState::kUnknown);
  Rows rows;
  EXPECT_EQ(connection_->queryRows("select CardNo from Records", rows), Outcome::kOk);
  EXPECT_EQ(rows, Rows{});

  // Set going, the backend reads the commit that was already in its socket, commits, and ends
  // on finding its client gone: the commit the client gave up on took effect after all.
  backend.resume();
  awaitBackendEnd();
  EXPECT_EQ(askCommitState(*connection_, marker, [] {}), CommitState::kCommitted);
  EXPECT_EQ(connection_->queryRows("select CardNo from Records", rows), Outcome::kOk);
  EXPECT_EQ(rows, (Rows{{"1"}}));
}

}  // namespace
}  // namespace solvard::db::testing
