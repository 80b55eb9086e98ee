#include <chrono>
#include <string>
#include <vector>

#include "component/prohibit.hpp"
#include "download_fixture.hpp"
#include "ui/messages.hpp"

namespace solvard::prohibit::testing {
namespace {

using Rows = std::vector<std::string>;
using Frames = std::vector<std::string>;

TEST_F(DownloadTest, NoRecordSendsOnePromptAndLeavesThePortOpen) {
  answerNoMore();
  EXPECT_EQ(download(), "NODATA");
  EXPECT_EQ(prompts(), Frames{"03 01"});
  EXPECT_TRUE(port->PortOpen());
  EXPECT_EQ(port->log().back(), "Input 03 01 00");
  // The database was checked before the prompt.
  ASSERT_EQ(made.size(), 1u);
  EXPECT_EQ(made[0]->log(), (Rows{std::string("Open ") + kText, kTableCheck}));
  EXPECT_TRUE(reported.empty());
}

TEST_F(DownloadTest, EachRecordIsCommittedBeforeTheNextPrompt) {
  answerRecord(kFirstRecord);
  answerRecord(kSecondRecord);
  answerNoMore();
  EXPECT_EQ(download(), "ISEND");
  EXPECT_EQ(prompts(), (Frames{"03 01", "03 01", "03 01"}));
  EXPECT_EQ(committedNow(), (Rows{kFirstRow, kSecondRow}));
  ASSERT_EQ(progress.size(), 2u);
  EXPECT_EQ(progress[0].done, 1);
  EXPECT_EQ(progress[0].total, 0);
  EXPECT_EQ(progress[0].promptsSent, 1u);
  EXPECT_EQ(progress[0].committed, Rows{kFirstRow});
  EXPECT_EQ(progress[1].done, 2);
  EXPECT_EQ(progress[1].promptsSent, 2u);
  EXPECT_FALSE(port->PortOpen());
  EXPECT_TRUE(reported.empty());
  // One session serves the whole download.
  ASSERT_EQ(made.size(), 1u);
  EXPECT_EQ(made[0]->log(),
            (Rows{std::string("Open ") + kText, kTableCheck, std::string("Execute ") + kFirstRow,
                  std::string("Execute ") + kSecondRow}));
}

TEST_F(DownloadTest, StatusBytesZeroAndOneSayNothing) {
  port->answerNextFrame({{100ms, {0xFF, 0xEE, 0x80}}, {200ms, kFirstRecord}});
  answer({0x00, 0x01, 0x00}, 100ms);
  EXPECT_EQ(download(), "ISEND");
  EXPECT_EQ(committedNow(), Rows{kFirstRow});
}

TEST_F(DownloadTest, SilenceAfterALaterPromptEndsAsIfNoMoreFollowed) {
  answerRecord(kFirstRecord);
  EXPECT_EQ(download(), "ISEND");
  EXPECT_EQ(prompts(), (Frames{"03 01", "03 01"}));
  EXPECT_EQ(committedNow(), Rows{kFirstRow});
  EXPECT_TRUE(reported.empty());
  EXPECT_FALSE(port->PortOpen());
}

TEST_F(DownloadTest, NineOfTenRecordBytesReportTheRecordIncomplete) {
  answerRecord(Bytes(kFirstRecord.begin(), kFirstRecord.end() - 1));
  EXPECT_EQ(download(), "ERROR");
  EXPECT_EQ(reported, std::vector<int32_t>{ui::msg::kRecordIncomplete});
  EXPECT_EQ(prompts(), Frames{"03 01"});
  EXPECT_TRUE(committedNow().empty());
  EXPECT_FALSE(port->PortOpen());
}

TEST_F(DownloadTest, RecordWaitGivesUpWhenThreeWholeSecondsAreReached) {
  // Rounded readings: the wait ends 2.5 to 3.5 seconds after it began, and a record complete
  // 2.4 seconds after its status always counts.
  for (const auto start : {5000ms, 5400ms, 5500ms, 5600ms, 5990ms}) {
    SCOPED_TRACE(start.count());
    clock.set(start);
    reported.clear();
    answerRecord(Bytes(9, 0x11));
    EXPECT_EQ(download(), "ERROR");
    const auto waited = clock.now() - (start + 100ms);
    EXPECT_GE(waited, 2s);
    EXPECT_LE(waited, 3s + 100ms);

    clock.set(start);
    answerRecord(kFirstRecord, 100ms + 2400ms);
    answerNoMore();
    EXPECT_EQ(download(), "ISEND");
  }
}

TEST_F(DownloadTest, NoFirstStatusIsAnErrorWithoutAMessage) {
  const auto start = clock.now();
  EXPECT_EQ(download(), "ERROR");
  EXPECT_GE(clock.now() - start, 1s);
  EXPECT_LE(clock.now() - start, 2s);
  EXPECT_TRUE(reported.empty());
  EXPECT_FALSE(port->PortOpen());
  EXPECT_EQ(port->log().back(), "OutBufferCount 0 failed");  // cleared after the close
}

TEST_F(DownloadTest, PortThatCannotOpenIsAnErrorWithoutAMessage) {
  port->failOpen();
  EXPECT_EQ(download(), "ERROR");
  EXPECT_TRUE(reported.empty());
  EXPECT_TRUE(port->framesWritten().empty());
}

TEST_F(DownloadTest, RefusedBeforeThePortIsTouched) {
  const struct {
    int16_t machine;
    const char* table;
  } refusals[] = {{-1, "Records"},  {256, "Records"}, {3, "Records; drop table x"},
                  {3, "Records--"}, {3, "[a]]b]"},    {3, "1abc"},
                  {3, ""}};
  for (const auto& r : refusals) EXPECT_EQ(download(r.machine, r.table), "ERROR") << r.table;
  EXPECT_TRUE(port->log().empty());
  EXPECT_TRUE(made.empty());
  EXPECT_TRUE(reported.empty());
  EXPECT_EQ(logged.size(), 5u);  // the table names, not the machine numbers
  EXPECT_EQ(logged.front(),
            "GetRegisterData, terminal 3: \"Records; drop table x\" is not a table name; "
            "nothing was sent");
}

TEST_F(DownloadTest, QuotedAndForeignTableNamesGoIntoTheStatementAsGiven) {
  for (const std::string table : {"dbo.[Access Records]", "Записи"}) {
    answerRecord(kFirstRecord);
    answerNoMore();
    EXPECT_EQ(download(3, table), "ISEND");
    EXPECT_EQ(made.back()->committed().back(),
              "Insert into " + table + " values('1234567890','2001-06-29','08:05')");
  }
}

TEST_F(DownloadTest, DatabaseThatCannotTakeRowsIsFoundBeforeTheFirstPrompt) {
  const struct {
    const char* failing;
    db::Diagnostic diagnostic;
    const char* log;
  } cases[] = {
      {"Open",
       {"08001", 0, "no such server"},
       "GetRegisterData, terminal 3: the database does not open: [08001] (0) no such server; "
       "nothing was sent"},
      {"query",
       {"42S02", 1, "no such table: Records"},
       "GetRegisterData, terminal 3: the table Records cannot be used: [42S02] (1) no such "
       "table: Records; nothing was sent"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.failing);
    logged.clear();
    script = [&](db::ScriptedConnection& connection) {
      connection.failNext(c.failing, c.diagnostic);
    };
    EXPECT_EQ(download(), "ERROR");
    EXPECT_EQ(lastReport.ending, RegisterDownloadReport::Ending::kDatabaseNotReady);
    EXPECT_TRUE(prompts().empty());  // the terminal keeps its record unacknowledged
    EXPECT_TRUE(committedNow().empty());
    EXPECT_EQ(logged, Rows{c.log});
  }
}

TEST_F(DownloadTest, RefusedRowStopsTheDownloadAndIsKeptForTheNextOne) {
  script = [](db::ScriptedConnection& c) {
    c.failStatement(kSecondRow, {"42S02", 1, "no such table"});
  };
  answerRecord(kFirstRecord);
  answerRecord(kSecondRecord);
  answerNoMore();
  EXPECT_EQ(download(), "ERROR");
  EXPECT_EQ(lastReport.ending, RegisterDownloadReport::Ending::kRecordNotWritten);
  EXPECT_EQ(lastReport.pendingKept, 1);
  EXPECT_EQ(prompts(), (Frames{"03 01", "03 01"}));
  EXPECT_EQ(committedNow(), Rows{kFirstRow});
  EXPECT_EQ(progress.size(), 1u);
  ASSERT_EQ(logged.size(), 1u);
  EXPECT_EQ(logged[0],
            "GetRegisterData, terminal 3: record 2 (card 0000012345, 2001-06-29 17:45) not "
            "written, the terminal was not prompted again: " +
                std::string(kSecondRow) +
                " refused: [42S02] (1) no such table; it is kept and will be written before the "
                "next download from this terminal prompts it");
}

TEST_F(DownloadTest, HostReachesItThroughTheObject) {
  component::Prohibit object;
  object.setCommPortID(3);
  answerNoMore();
  const std::string file = sqliteFileWithTable("Records");
  std::vector<automation::Variant> args{automation::Variant(int16_t{3}), automation::Variant(file),
                                        automation::Variant("Records")};
  EXPECT_EQ(component::invoke(object, "GetRegisterData", component::MemberKind::Method, args),
            automation::Variant("NODATA"));
  EXPECT_EQ(args[1], automation::Variant(file));
  EXPECT_EQ(lastRegisterDownload().ending, RegisterDownloadReport::Ending::kNoData);
  EXPECT_EQ(args[2], automation::Variant("Records"));
}

}  // namespace
}  // namespace solvard::prohibit::testing
