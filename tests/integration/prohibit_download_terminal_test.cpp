#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "component/library_line.hpp"
#include "pg_proxy.hpp"
#include "prohibit_download_fixture.hpp"
#include "serial/shared_port.hpp"

namespace solvard::integration {
namespace {

using db::Rows;
using serial::Bytes;
using simulator::accessRecord;
using simulator::Fault;
using simulator::FaultSchedule;

const Bytes kFirst = accessRecord("1234567890", 1, 6, 29, 8, 5);
const Bytes kSecond = accessRecord("0000012345", 1, 6, 29, 17, 45);
const Rows kFirstRow{{"1234567890", "2001-06-29", "08:05"}};
const Rows kBothRows{{"1234567890", "2001-06-29", "08:05"}, {"0000012345", "2001-06-29", "17:45"}};

TEST_P(AccessDownload, NoRecordSendsOnePromptAndLeavesThePortOpen) {
  makeTable("Records");
  EXPECT_EQ(download(), "NODATA");
  EXPECT_EQ(framesSeen(), std::vector<Bytes>{kPrompt});
  EXPECT_TRUE(component::sharedPort().PortOpen());
  EXPECT_TRUE(rows("Records").empty());
}

TEST_P(AccessDownload, TwoRecordsTakeThreePromptsAndBecomeTwoRows) {
  makeTable("Records");
  sim.withState([&] {
    terminal->store(kFirst);
    terminal->store(kSecond);
  });
  EXPECT_EQ(download(), "ISEND");
  EXPECT_EQ(framesSeen(), (std::vector<Bytes>{kPrompt, kPrompt, kPrompt}));
  EXPECT_EQ(rows("Records"), kBothRows);
  const auto state = terminalState();
  EXPECT_TRUE(state.records.empty());
  EXPECT_EQ(state.acknowledged, (std::vector<Bytes>{kFirst, kSecond}));
  EXPECT_FALSE(component::sharedPort().PortOpen());
  EXPECT_TRUE(reported.empty());
}

TEST_P(AccessDownload, QuotedTableNameIsWrittenTo) {
  execute(
      "create table \"Access Records\" (CardNo varchar(32), RecordDate varchar(32), "
      "RecordTime varchar(32))");
  sim.withState([&] { terminal->store(kFirst); });
  EXPECT_EQ(download("\"Access Records\""), "ISEND");
  EXPECT_EQ(rows("\"Access Records\""), kFirstRow);
}

TEST_P(AccessDownload, SilenceAfterALaterPromptEndsWithoutAMessage) {
  makeTable("Records");
  sim.withState([&] {
    terminal->store(kFirst);
    terminal->store(kSecond);
  });
  terminal->inject(Fault::silence(), FaultSchedule::onReply(2));
  EXPECT_EQ(download(), "ISEND");
  EXPECT_EQ(rows("Records"), kFirstRow);
  EXPECT_TRUE(reported.empty());
}

TEST_P(AccessDownload, ShortRecordIsReportedAndNotWritten) {
  makeTable("Records");
  sim.withState([&] { terminal->store(kFirst); });
  terminal->inject(Fault::partial(3 + 9));
  EXPECT_EQ(download(), "ERROR");
  EXPECT_EQ(reported, std::vector<int32_t>{61210});
  EXPECT_TRUE(rows("Records").empty());
  EXPECT_EQ(framesSeen(), std::vector<Bytes>{kPrompt});
  EXPECT_EQ(terminalState().records.size(), 1u);
}

// A row the database refuses (here the second record breaks a unique card number) stops the
// download: the terminal is not prompted again and keeps that record; the first row stays.
TEST_P(AccessDownload, RefusedRowStaysInTheTerminal) {
  execute(
      "create table Records (CardNo varchar(32) unique, RecordDate varchar(32), "
      "RecordTime varchar(32))");
  const Bytes again = accessRecord("1234567890", 1, 6, 30, 9, 0);
  sim.withState([&] {
    terminal->store(kFirst);
    terminal->store(again);
  });
  EXPECT_EQ(download(), "ERROR");
  EXPECT_EQ(framesSeen(), (std::vector<Bytes>{kPrompt, kPrompt}));
  EXPECT_EQ(rows("Records"), kFirstRow);
  const auto state = terminalState();
  EXPECT_EQ(state.records, std::deque<Bytes>{again});
  EXPECT_EQ(state.acknowledged, std::vector<Bytes>{kFirst});
  ASSERT_EQ(logged.size(), 1u);
  EXPECT_NE(logged[0].find("record 2 (card 1234567890, 2001-06-30 09:00) not written"),
            std::string::npos);
  EXPECT_FALSE(component::sharedPort().PortOpen());
}

// The server ends the download's session after the first row; the second row is written on the
// session opened again.
TEST_P(AccessDownload, SessionTheServerEndsIsOpenedAgain) {
  if (GetParam() == db::testing::Engine::kSqlite) {
    GTEST_SKIP() << "an SQLite file has no server to end the session";
  }
  makeTable("Records");
  sim.withState([&] {
    terminal->store(kFirst);
    terminal->store(kSecond);
  });
  int ended = -1;
  auto saved = ui::setProgressSink([&](int32_t done, int32_t) {
    if (done != 1) return;
    auto admin = db::makeOdbcConnection();
    db::Rows killed;
    if (admin->Open(database.server()) == db::Outcome::kOk) {
      admin->queryRows(
          "select pg_terminate_backend(pid) from pg_stat_activity where "
          "application_name = '" +
              database.schema() + "'",
          killed);
    }
    ended = static_cast<int>(killed.size());
  });
  EXPECT_EQ(download(), "ISEND");
  ui::setProgressSink(std::move(saved));
  EXPECT_EQ(ended, 1);
  EXPECT_EQ(rows("Records"), kBothRows);
}

// The database refuses record 6 of 10; the terminal forgets it at the next download's first
// prompt, so the copy kept then is written before that prompt: all ten rows, none twice.
TEST_P(AccessDownload, RefusedRecordIsWrittenByTheNextDownloadBeforeItsFirstPrompt) {
  execute(
      "create table Records (CardNo varchar(32) unique, RecordDate varchar(32), "
      "RecordTime varchar(32))");
  // A row already holding the sixth card makes the database refuse that record.
  execute("insert into Records values('0000000006','2000-01-01','00:00')");
  sim.withState([&] {
    for (int card = 1; card <= 10; ++card) {
      terminal->store(accessRecord("000000000" + std::to_string(card % 10), 1, 6, 29, 8, card));
    }
  });
  EXPECT_EQ(download(), "ERROR");
  EXPECT_EQ(rows("Records").size(), 6u);          // the blocking row and records 1 to 5
  EXPECT_EQ(terminalState().records.size(), 5u);  // 6 sent, unacknowledged; 7 to 10

  execute("delete from Records where RecordDate = '2000-01-01'");
  EXPECT_EQ(download(), "ISEND");
  db::Rows stored = rows("Records");
  std::sort(stored.begin(), stored.end());
  ASSERT_EQ(stored.size(), 10u);
  for (int card = 1; card <= 10; ++card) {
    EXPECT_EQ(stored[static_cast<size_t>(card % 10)][0], "000000000" + std::to_string(card % 10));
  }
  EXPECT_TRUE(terminalState().records.empty());
}

// The connection drops while the second record is stored, through a relay between the library
// and the server: after the insert or the COMMIT reached the server, or before the COMMIT. Each
// row is written in its own transaction whose outcome the library asks a new session about, so
// both records are stored once and the terminal forgets each only once it is stored.
TEST_P(AccessDownload, DroppedConnectionStoresEveryRecordOnce) {
  if (GetParam() != db::testing::Engine::kPostgresql)
    GTEST_SKIP() << "an SQLite file has no server";
  const std::string text = database.text();
  const size_t at = text.find("Port=");
  ASSERT_NE(at, std::string::npos) << text;
  const size_t end = text.find(';', at);
  const int serverPort = std::stoi(text.substr(at + 5, end - at - 5));
  const struct {
    PgProxy::Drop drop;
    const char* word;
  } cases[] = {{PgProxy::Drop::kAfterCommit, "INSERT"},
               {PgProxy::Drop::kAfterCommit, "COMMIT"},
               {PgProxy::Drop::kBeforeCommit, "COMMIT"}};
  makeTable("Records");
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.word) +
                 (c.drop == PgProxy::Drop::kAfterCommit ? " after" : " before"));
    execute("delete from Records");
    sim.withState([&] {
      terminal->store(kFirst);
      terminal->store(kSecond);
    });
    PgProxy proxy(static_cast<uint16_t>(serverPort));
    std::string viaProxy =
        text.substr(0, at) + "Port=" + std::to_string(proxy.port()) + text.substr(end);
    std::string table = "Records";
    auto armAtFirst = ui::setProgressSink([&](int32_t done, int32_t) {
      if (done == 1) proxy.arm(c.drop, c.word);
    });
    EXPECT_EQ(object.GetRegisterData(kMachine, viaProxy, table), "ISEND");
    ui::setProgressSink(std::move(armAtFirst));
    EXPECT_TRUE(proxy.dropped());
    EXPECT_EQ(rows("Records"), kBothRows);
    EXPECT_TRUE(terminalState().records.empty());
  }
}

TEST_P(AccessDownload, DatabaseThatDoesNotOpenLeavesTheFirstRecordInTheTerminal) {
  sim.withState([&] { terminal->store(kFirst); });
  std::string text = GetParam() == db::testing::Engine::kSqlite
                         ? (database.folder() / "missing" / "doors.db").string()
                         : "Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=1;Database=none;";
  std::string table = "Records";
  EXPECT_EQ(object.GetRegisterData(kMachine, text, table), "ERROR");
  // Found before the first prompt: nothing is asked of the terminal.
  EXPECT_TRUE(framesSeen().empty());
  const auto state = terminalState();
  EXPECT_EQ(state.records, std::deque<Bytes>{kFirst});
  EXPECT_TRUE(state.acknowledged.empty());
  EXPECT_TRUE(reported.empty());
}

// Names that would change the statement never reach the database, nor does the download reach
// the line.
TEST_P(AccessDownload, TableNamesThatAreNotIdentifiersAreRefused) {
  makeTable("Records");
  sim.withState([&] { terminal->store(kFirst); });
  for (const std::string table :
       {"Records; drop table Records", "Records--", "Records values('x','y','z');--", "[a]]b]",
        "\"a\"\"b\"", "Records/**/", "Rec ords", ".Records", "Records."}) {
    EXPECT_EQ(download(table), "ERROR") << table;
  }
  EXPECT_TRUE(sim.frames().empty());
  EXPECT_TRUE(rows("Records").empty());
  EXPECT_EQ(terminalState().records.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Engines, AccessDownload,
                         ::testing::Values(db::testing::Engine::kSqlite,
                                           db::testing::Engine::kPostgresql),
                         db::testing::engineName);

}  // namespace
}  // namespace solvard::integration
