#include <algorithm>
#include <functional>
#include <set>

#include "attend/download.hpp"
#include "component/attend_commands.hpp"
#include "download_fixture.hpp"
#include "ui/messages.hpp"

namespace solvard::attend::testing {
namespace {

const Bytes kFirst = storedRecord(0x12, 0x34, 0x56, 0x07, 0x30);
const Bytes kSecond = storedRecord(0x00, 0x00, 0x07, 0x08, 0x45);
const Bytes kThird = storedRecord(0x65, 0x43, 0x21, 0x09, 0x00);

const std::string kFirstValues = "'3','123456','2001-05-07','08:30:00'";
const std::string kSecondValues = "'3','000007','2001-05-08','08:45:00'";
const std::string kThirdValues = "'3','654321','2001-05-09','08:00:00'";

// The three statements of one record, as they take effect.
std::vector<std::string> recordStatements(const std::string& values) {
  return {insertRow("WorkCardSource", values), "delete from WorkCardReadTime",
          insertRow("WorkCardReadTime", values)};
}

std::vector<std::string> executed(const std::string& values) {
  std::vector<std::string> lines;
  for (const std::string& statement : recordStatements(values))
    lines.push_back("Execute " + statement);
  return lines;
}

std::vector<std::string> joined(std::initializer_list<std::vector<std::string>> parts) {
  std::vector<std::string> all;
  for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

const db::Diagnostic kNoSuchTable{"42S02", 1, "no such table: WorkCardReadTime"};

TEST_F(DownloadTest, OneTransactionThreeStatementsPerRecordInOrder) {
  port->answerNextFrame({{0ms, downloadReply(3, 2, {kFirst, kSecond})}});
  EXPECT_EQ(object.GetMacData(3), 2);
  EXPECT_EQ(database->log(), joined({{"Open attend.db"},
                                     {"BeginTrans"},
                                     executed(kFirstValues),
                                     executed(kSecondValues),
                                     {"CommitTrans"}}));
  EXPECT_EQ(database->committed(),
            joined({recordStatements(kFirstValues), recordStatements(kSecondValues)}));
  EXPECT_EQ(database->CursorLocation(), db::kUseServer);
}

// Opened by the first download that finds it closed, with that object's text, then kept for
// every object: a later object's `ConnectString` plays no part while it stays open.
TEST_F(DownloadTest, SharedConnectionOpenedOnceAndKept) {
  component::Attend other;
  other.setCommPortID(3);
  other.setCommBautRate(19200);
  other.setCommInBufferSize(2048);
  other.setCommOutBufferSize(256);
  other.setConnectString("elsewhere.db");

  port->answerNextFrame({{0ms, downloadReply(3, 1, {kFirst})}});
  EXPECT_EQ(object.GetMacData(3), 1);
  port->answerNextFrame({{0ms, downloadReply(3, 1, {kSecond})}});
  EXPECT_EQ(other.GetMacData(3), 1);

  EXPECT_EQ(database->log(), joined({{"Open attend.db"},
                                     {"BeginTrans"},
                                     executed(kFirstValues),
                                     {"CommitTrans"},
                                     {"ping"},
                                     {"BeginTrans"},
                                     executed(kSecondValues),
                                     {"CommitTrans"}}));
  EXPECT_EQ(database->ConnectionString(), "attend.db");
}

TEST_F(DownloadTest, DatabaseThatCannotOpenEndsBeforeAnythingIsSent) {
  database->failNext("Open", {"08001", 0, "unable to open database file"});
  port->answerNextFrame({{0ms, downloadReply(3, 1, {kFirst})}});

  EXPECT_EQ(object.GetMacData(3), -1);

  EXPECT_TRUE(port->framesWritten().empty());
  EXPECT_FALSE(port->PortOpen());
  EXPECT_TRUE(reported.empty());
  EXPECT_EQ(logged, (std::vector<std::string>{
                        "GetMacData(3): the database cannot be opened: [08001] (0) unable to open "
                        "database file; nothing was asked of the terminal"}));
  // The next download finds it closed and tries again.
  EXPECT_EQ(object.GetMacData(3), 1);
  EXPECT_EQ(database->log().front(), "Open attend.db failed");
  EXPECT_EQ(database->log().at(1), "Open attend.db");
}

// Runs `arm` as each record of `after` has been written (0: once the count is known, before the
// transaction begins), so that the database fails at a chosen point.
void armAt(std::set<int32_t> after, std::function<void()> arm) {
  ui::setProgressSink([after = std::move(after), arm = std::move(arm)](int32_t done, int32_t) {
    if (after.contains(done)) arm();
  });
}

struct RefusalCase {
  const char* name;
  int32_t afterRecord;
  std::function<void(db::ScriptedConnection&)> refuse;
  std::string logged;
};

class DatabaseRefusals : public DownloadTest, public ::testing::WithParamInterface<RefusalCase> {};

// Whatever the database refuses, the download keeps none of its rows, closes the port and gives
// 0 without a message; the reason goes to the log. The terminal still holds the records, and the
// download run again writes each once.
TEST_P(DatabaseRefusals, RollBackCloseThePortAndGiveZero) {
  const RefusalCase& c = GetParam();
  armAt({c.afterRecord}, [&] { c.refuse(*database); });
  port->answerNextFrame({{0ms, downloadReply(3, 3, {kFirst, kSecond, kThird})}});

  EXPECT_EQ(object.GetMacData(3), 0);

  EXPECT_TRUE(database->committed().empty());
  EXPECT_FALSE(database->inTransaction());
  EXPECT_FALSE(port->PortOpen());
  EXPECT_TRUE(reported.empty());
  EXPECT_EQ(logged, std::vector<std::string>{"GetMacData(3): the database refused " + c.logged +
                                             "; nothing of this download was kept"});

  logged.clear();
  ui::setProgressSink({});
  port->answerNextFrame({{0ms, downloadReply(3, 3, {kFirst, kSecond, kThird})}});
  EXPECT_EQ(object.GetMacData(3), 3);
  EXPECT_EQ(database->committed(),
            joined({recordStatements(kFirstValues), recordStatements(kSecondValues),
                    recordStatements(kThirdValues)}));
  EXPECT_TRUE(logged.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Download, DatabaseRefusals,
    ::testing::Values(
        RefusalCase{"BeginTrans", 0,
                    [](auto& d) {
                      d.failNext("BeginTrans", {"HY000", 5, "database is locked"});
                    },
                    "to begin a transaction: [HY000] (5) database is locked"},
        RefusalCase{"StatementOfTheSecondRecord", 1,
                    [](auto& d) { d.failNext("Execute", kNoSuchTable); },
                    "\"insert into WorkCardSource values('3','000007','2001-05-08','08:45:00')\": "
                    "[42S02] (1) no such table: WorkCardReadTime"},
        RefusalCase{"CommitTrans", 3,
                    [](auto& d) {
                      d.failNext("CommitTrans", {"40001", 0, "serialization failure"});
                    },
                    "to commit the download: [40001] (0) serialization failure"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DownloadTest, SessionDroppedBetweenDownloadsIsOpenedAgain) {
  port->answerNextFrame({{0ms, downloadReply(3, 1, {kFirst})}});
  ASSERT_EQ(object.GetMacData(3), 1);
  database->dropSession();
  port->answerNextFrame({{0ms, downloadReply(3, 1, {kSecond})}});

  EXPECT_EQ(object.GetMacData(3), 1);

  EXPECT_EQ(database->committed(),
            joined({recordStatements(kFirstValues), recordStatements(kSecondValues)}));
  const std::vector<std::string>& log = database->log();
  const auto ping = std::find(log.begin(), log.end(), "ping failed");
  ASSERT_GE(log.end() - ping, 3);
  EXPECT_EQ(std::vector<std::string>(ping, ping + 3),
            (std::vector<std::string>{"ping failed", "Close", "Open attend.db"}));
  EXPECT_EQ(logged, (std::vector<std::string>{
                        "GetMacData(3): the database dropped the connection ([08S01] (0) the "
                        "server closed the connection); opening it again"}));
}

// The server drops the session after the first record: the session is opened again, the
// transaction begun again and the first record written again, so every record lands once.
TEST_F(DownloadTest, SessionDroppedInsideTheDownloadIsOpenedAgainOnce) {
  armAt({1}, [&] { database->dropSession(); });
  port->answerNextFrame({{0ms, downloadReply(3, 3, {kFirst, kSecond, kThird})}});

  EXPECT_EQ(object.GetMacData(3), 3);

  EXPECT_EQ(database->committed(),
            joined({recordStatements(kFirstValues), recordStatements(kSecondValues),
                    recordStatements(kThirdValues)}));
  EXPECT_EQ(database->log(),
            joined({{"Open attend.db"},
                    {"BeginTrans"},
                    executed(kFirstValues),
                    {"Execute " + insertRow("WorkCardSource", kSecondValues) + " failed", "Close",
                     "Open attend.db"},
                    {"BeginTrans"},
                    executed(kFirstValues),
                    executed(kSecondValues),
                    executed(kThirdValues),
                    {"CommitTrans"}}));
  EXPECT_EQ(logged.size(), 1u);
}

TEST_F(DownloadTest, SessionDroppedTwiceGivesUp) {
  armAt({1, 2}, [&] { database->dropSession(); });
  port->answerNextFrame({{0ms, downloadReply(3, 3, {kFirst, kSecond, kThird})}});

  EXPECT_EQ(object.GetMacData(3), 0);

  EXPECT_TRUE(database->committed().empty());
  EXPECT_EQ(database->State(), db::kStateClosed);
  EXPECT_FALSE(port->PortOpen());
  ASSERT_EQ(logged.size(), 2u);
  EXPECT_EQ(logged[1],
            "GetMacData(3): the database refused \"insert into WorkCardSource "
            "values('3','654321','2001-05-09','08:00:00')\": [08S01] (0) the server closed the "
            "connection; nothing of this download was kept");
}

}  // namespace
}  // namespace solvard::attend::testing
