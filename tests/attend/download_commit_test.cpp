#include <string>
#include <vector>

#include "attend/download_report.hpp"
#include "component/attend_commands.hpp"
#include "component/library_line.hpp"
#include "download_fixture.hpp"
#include "serial/host_link.hpp"

namespace solvard::attend::testing {
namespace {

using Ending = DownloadReport::Ending;

const Bytes kFirst = storedRecord(0x12, 0x34, 0x56, 0x07, 0x30);
const Bytes kSecond = storedRecord(0x00, 0x00, 0x07, 0x08, 0x45);
const std::string kFirstRow = insertRow("WorkCardSource", "'3','123456','2001-05-07','08:30:00'");
const std::string kSecondRow = insertRow("WorkCardSource", "'3','000007','2001-05-08','08:45:00'");

// How often each record's row went into WorkCardSource, in order.
std::vector<std::string> sourceRows(const db::ScriptedConnection& database) {
  std::vector<std::string> rows;
  for (const std::string& statement : database.committed()) {
    if (statement.starts_with("insert into WorkCardSource")) rows.push_back(statement);
  }
  return rows;
}

struct LostCommitCase {
  const char* name;
  const char* engine;
  // The server commits, then the reply is lost (true); or the session drops first (false).
  bool committedBeforeTheDrop;
  std::vector<db::Rows> answers;  // to "select txid_status(812)", one per asking
  bool reopens;
  int32_t result;
  Ending ending;
  size_t timesStored;  // how often each record is in WorkCardSource afterwards
  const char* log;     // the last log line
};

class LostCommit : public DownloadTest, public ::testing::WithParamInterface<LostCommitCase> {};

TEST_P(LostCommit, IsNeverReplayedBlindly) {
  const LostCommitCase& c = GetParam();
  database->setEngine(c.engine);
  database->answerQuery("select txid_current()", {{"812"}});
  database->answerQueries("select txid_status(812)", c.answers);
  if (c.committedBeforeTheDrop) {
    database->dropAfterNext("CommitTrans");
  } else {
    database->failNext("CommitTrans", {"08S01", 0, "the server closed the connection"});
  }
  if (!c.reopens) {
    // Armed once the last record is written, so the download's own first open succeeds.
    ui::setProgressSink([this](int32_t done, int32_t) {
      if (done == 2) database->failNext("Open", {"08001", 0, "connection refused"});
    });
  }
  port->answerNextFrame({{0ms, downloadReply(3, 2, {kFirst, kSecond})}});

  EXPECT_EQ(object.GetMacData(3), c.result);

  EXPECT_EQ(lastDownload().ending, c.ending);
  EXPECT_EQ(lastDownload().total, 2);
  std::vector<std::string> expected;
  for (size_t i = 0; i < c.timesStored; ++i) {
    expected.push_back(kFirstRow);
    expected.push_back(kSecondRow);
  }
  EXPECT_EQ(sourceRows(*database), expected);
  ASSERT_FALSE(logged.empty());
  EXPECT_EQ(logged.back(), c.log);
}

INSTANTIATE_TEST_SUITE_P(
    Engines, LostCommit,
    ::testing::Values(
        LostCommitCase{"PostgresCommitted",
                       "PostgreSQL",
                       true,
                       {{{"committed"}}},
                       true,
                       2,
                       Ending::kCommitted,
                       1,
                       "GetMacData(3): the connection dropped while committing ([08S01] (0) the "
                       "server closed the connection); the database says the download was "
                       "committed"},
        LostCommitCase{"PostgresRolledBack",
                       "PostgreSQL",
                       false,
                       {{{"aborted"}}},
                       true,
                       2,
                       Ending::kCommitted,
                       1,
                       "GetMacData(3): the connection dropped while committing ([08S01] (0) the "
                       "server closed the connection); the database says the download was rolled "
                       "back, so it is written again"},
        LostCommitCase{"PostgresInProgressThenCommitted",
                       "PostgreSQL",
                       true,
                       {{{"in progress"}}, {{"committed"}}},
                       true,
                       2,
                       Ending::kCommitted,
                       1,
                       "GetMacData(3): the connection dropped while committing ([08S01] (0) the "
                       "server closed the connection); the database says the download was "
                       "committed"},
        LostCommitCase{"PostgresCannotTell",
                       "PostgreSQL",
                       true,
                       {{{""}}},
                       true,
                       -1,
                       Ending::kOutcomeUnknown,
                       1,
                       "GetMacData(3): the connection dropped while committing ([08S01] (0) the "
                       "server closed the connection) and the database could not say what became "
                       "of it: the 2 records of this download may be stored or not; look in "
                       "WorkCardSource before downloading them again"},
        LostCommitCase{"OtherEngine",
                       "",
                       true,
                       {},
                       true,
                       -1,
                       Ending::kOutcomeUnknown,
                       1,
                       "GetMacData(3): the connection dropped while committing ([08S01] (0) the "
                       "server closed the connection) and this database cannot be asked what "
                       "became of it: the 2 records of this download may be stored or not; look "
                       "in WorkCardSource before downloading them again"},
        LostCommitCase{"NoNewSession",
                       "PostgreSQL",
                       true,
                       {},
                       false,
                       -1,
                       Ending::kOutcomeUnknown,
                       1,
                       "GetMacData(3): the connection dropped while committing ([08S01] (0) the "
                       "server closed the connection) and could not be opened again to ask what "
                       "became of the commit ([08001] (0) connection refused): the 2 records of "
                       "this download may be stored or not; look in WorkCardSource before "
                       "downloading them again"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DownloadTest, StopAskedForByTheHostRollsBackBetweenRecords) {
  int asked = 0;
  component::libraryHooks().stopRequested = [&] { return ++asked == 2; };
  port->answerNextFrame({{0ms, downloadReply(3, 2, {kFirst, kSecond})}});
  EXPECT_EQ(object.GetMacData(3), 0);
  component::libraryHooks().stopRequested = {};
  EXPECT_EQ(lastDownload().ending, Ending::kStopped);
  EXPECT_EQ(lastDownload().written, 1);
  EXPECT_TRUE(database->committed().empty());
  EXPECT_FALSE(database->inTransaction());
  EXPECT_FALSE(port->PortOpen());
  ASSERT_FALSE(logged.empty());
  EXPECT_EQ(logged.back(),
            "GetMacData(3): stopped by the host after 1 of 2 records; nothing of this download "
            "was kept, the terminal still holds them");
}

}  // namespace
}  // namespace solvard::attend::testing
