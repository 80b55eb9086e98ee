#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "attend/download_report.hpp"
#include "component/attend.hpp"
#include "component/attend_commands.hpp"
#include "component/library_line.hpp"
#include "component/shared_database.hpp"
#include "db/database_fixture.hpp"
#include "db/schema.hpp"
#include "pg_proxy.hpp"
#include "serial/host_link.hpp"
#include "serial/shared_port.hpp"
#include "simulator/attend_terminal.hpp"
#include "simulator_fixture.hpp"
#include "ui/host_reports.hpp"
#include "ui/messages.hpp"

namespace solvard::integration {
namespace {

using db::Rows;
using db::testing::Engine;
using serial::Bytes;
using simulator::AttendTerminal;
using simulator::DownloadFault;

constexpr uint8_t kMachine = 3;

// The stored record of the protocol's example, then one with leading zeros in its card number,
// then one whose card bytes are not decimal digits (0x1A reads 20, 0xFF 165).
const Bytes kExample = {0x12, 0x34, 0x56, 0x01, 0x05, 0x07, 0x08, 0x30, 0xAA};
const Bytes kLeadingZeros = {0x00, 0x00, 0x07, 0x01, 0x05, 0x08, 0x17, 0x05, 0xAA};
const Bytes kMalformedCard = {0x1A, 0xFF, 0x09, 0x01, 0x05, 0x09, 0x23, 0x59, 0xAA};

const db::Row kExampleRow{"3", "123456", "2001-05-07", "08:30:00"};
const db::Row kLeadingZerosRow{"3", "000007", "2001-05-08", "17:05:00"};
const db::Row kMalformedCardRow{"3", "2016509", "2001-05-09", "23:59:00"};

// An attendance terminal holding three records on the simulated line, and a database of the
// test's own with the attendance tables (an SQLite file, or a schema on the PostgreSQL server
// SOLVARD_PG_CONNECT names), downloaded through an `Attend` object on the library's own port
// and the library's shared connection, in real time.
class AttendDownload : public SimulatorTest, public ::testing::WithParamInterface<Engine> {
 protected:
  void SetUp() override {
    if (!database.create()) GTEST_SKIP() << "SOLVARD_PG_CONNECT is not set";
    SimulatorTest::SetUp();
    terminal = &sim.add(std::make_unique<AttendTerminal>(kMachine));
    terminal->storeRecords({kExample, kLeadingZeros, kMalformedCard});
    savedHooks_ = component::libraryHooks();
    component::libraryHooks().reporter = [this](int32_t n) { reported.push_back(n); };
    savedLog_ = ui::setLogSink([this](const std::string& line) { logged.push_back(line); });
    // Each test opens the shared connection afresh, on its own database.
    attend::replaceSharedDatabase(nullptr);
    auto setup = db::makeOdbcConnection();
    ASSERT_EQ(setup->Open(database.text()), db::Outcome::kOk) << setup->lastDiagnostic().text();
    ASSERT_TRUE(db::ensureAttendanceTables(*setup).empty());
    object.setCommPortID(kPortNumber);
    object.setConnectString(database.text());
  }
  void TearDown() override {
    if (terminal == nullptr) return;  // skipped before anything was set up
    attend::replaceSharedDatabase(nullptr);
    component::sharedPort().PortOpen(false);  // a download that succeeded leaves it open
    ui::setLogSink(std::move(savedLog_));
    component::libraryHooks() = savedHooks_;
    SimulatorTest::TearDown();
  }

  Rows rows(const std::string& table) {
    auto reader = db::makeOdbcConnection();
    Rows result;
    EXPECT_EQ(reader->Open(database.text()), db::Outcome::kOk);
    EXPECT_EQ(reader->queryRows("select MachineNo, CardNo, CardDate, CardTime from " + table +
                                    " order by CardDate, CardTime",
                                result),
              db::Outcome::kOk)
        << reader->lastDiagnostic().text();
    return result;
  }
  void execute(const std::string& statement) {
    auto connection = db::makeOdbcConnection();
    ASSERT_EQ(connection->Open(database.text()), db::Outcome::kOk);
    ASSERT_EQ(connection->Execute(statement), db::Outcome::kOk)
        << connection->lastDiagnostic().text();
  }
  void spoilNextDownload(DownloadFault fault) {
    sim.withState([&] { terminal->injectDownloadFault(fault); });
  }

  db::testing::Database database{GetParam()};
  AttendTerminal* terminal = nullptr;
  component::Attend object;
  std::vector<std::string> logged;

 private:
  component::LibraryHooks savedHooks_;
  ui::LogSink savedLog_;
};

const Rows kAllThree = {kExampleRow, kLeadingZerosRow, kMalformedCardRow};

TEST_P(AttendDownload, ThreeRecordsLandInBothTables) {
  EXPECT_EQ(object.GetMacData(kMachine), 3);
  EXPECT_EQ(rows("WorkCardSource"), kAllThree);
  EXPECT_EQ(rows("WorkCardReadTime"), (Rows{kMalformedCardRow}));
  EXPECT_TRUE(reported.empty());
  EXPECT_TRUE(logged.empty());
  ASSERT_EQ(sim.frames().size(), 1u);
  EXPECT_EQ(sim.frames()[0].bytes, (Bytes{3, 2, 0x01}));
}

TEST_P(AttendDownload, NoRecords) {
  sim.withState([&] { terminal->storeRecords({}); });
  EXPECT_EQ(object.GetMacData(kMachine), 0);
  EXPECT_EQ(reported, std::vector<int32_t>{ui::msg::kNoRecords});
  EXPECT_EQ(rows("WorkCardSource"), Rows{});
}

// The terminal sends one record less than it counted: after a second without the missing one
// the download gives up, and nothing of it stays in the database. Run again, it writes each
// record once.
TEST_P(AttendDownload, OneRecordMissingLeavesNothingAndARetryWritesEachOnce) {
  spoilNextDownload(DownloadFault::missingRecord(3));
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(object.GetMacData(kMachine), 0);
  EXPECT_GE(std::chrono::steady_clock::now() - start, 1s);
  EXPECT_EQ(reported, std::vector<int32_t>{ui::msg::kUnexpectedReply});
  EXPECT_EQ(rows("WorkCardSource"), Rows{});
  EXPECT_EQ(rows("WorkCardReadTime"), Rows{});

  reported.clear();
  EXPECT_EQ(object.GetMacData(kMachine), 3);
  EXPECT_EQ(rows("WorkCardSource"), kAllThree);
  EXPECT_TRUE(reported.empty());
}

TEST_P(AttendDownload, BadEndMarkOnTheSecondOfThreeIsReplacedByTheNextRecord) {
  spoilNextDownload(DownloadFault::badEndMark(2));
  EXPECT_EQ(object.GetMacData(kMachine), 3);
  EXPECT_EQ(reported, std::vector<int32_t>{ui::msg::kBadEndMark});
  EXPECT_EQ(rows("WorkCardSource"), kAllThree);
  EXPECT_EQ(rows("WorkCardReadTime"), (Rows{kMalformedCardRow}));
}

TEST_P(AttendDownload, RecordFromAnotherMachineLeavesNothing) {
  spoilNextDownload(DownloadFault::otherMachine(3, 4));
  EXPECT_EQ(object.GetMacData(kMachine), 0);
  EXPECT_TRUE(reported.empty());
  EXPECT_EQ(rows("WorkCardSource"), Rows{});
}

// The database cannot be had: the terminal is not asked, and the reason is in the log.
TEST_P(AttendDownload, DatabaseThatCannotOpenAsksNothingOfTheTerminal) {
  object.setConnectString(GetParam() == Engine::kSqlite
                              ? (database.folder() / "no-such-folder" / "attend.db").string()
                              : database.server() + "Database=solvard_no_such_database;");
  EXPECT_EQ(object.GetMacData(kMachine), -1);
  EXPECT_TRUE(sim.frames().empty());
  EXPECT_TRUE(reported.empty());
  ASSERT_EQ(logged.size(), 1u);
  EXPECT_TRUE(logged[0].starts_with("GetMacData(3): the database cannot be opened: ")) << logged[0];
}

// The read-time table is gone: the first record's rows cannot all be written, so none are.
TEST_P(AttendDownload, StatementRefusedRollsBackAndGivesZero) {
  execute("drop table WorkCardReadTime");
  EXPECT_EQ(object.GetMacData(kMachine), 0);
  EXPECT_EQ(rows("WorkCardSource"), Rows{});
  EXPECT_TRUE(reported.empty());
  ASSERT_EQ(logged.size(), 1u);
  EXPECT_TRUE(logged[0].starts_with("GetMacData(3): the database refused ")) << logged[0];
  EXPECT_FALSE(component::sharedPort().PortOpen());
}

// Opened with the first object's text and kept: another object's text plays no part.
TEST_P(AttendDownload, SharedConnectionServesEveryObject) {
  ASSERT_EQ(object.GetMacData(kMachine), 3);
  component::Attend other;
  other.setCommPortID(kPortNumber);
  other.setConnectString("Provider=Nobody");
  EXPECT_EQ(other.GetMacData(kMachine), 3);
  EXPECT_EQ(rows("WorkCardSource").size(), 6u);
  EXPECT_TRUE(logged.empty());
}

// The server ends the shared session between two downloads (a restart, say): the next download
// opens it again and goes through.
TEST_P(AttendDownload, SessionEndedByTheServerIsOpenedAgain) {
  if (GetParam() != Engine::kPostgresql) GTEST_SKIP() << "an SQLite file has no server";
  ASSERT_EQ(object.GetMacData(kMachine), 3);
  auto admin = db::makeOdbcConnection();
  ASSERT_EQ(admin->Open(database.server()), db::Outcome::kOk);
  const std::string mine =
      "from pg_stat_activity where application_name = '" + database.schema() + "'";
  Rows ended;
  ASSERT_EQ(admin->queryRows("select pg_terminate_backend(pid) " + mine, ended), db::Outcome::kOk);
  for (Rows left{{"1"}}; left != Rows{{"0"}};) {
    ASSERT_EQ(admin->queryRows("select count(*) " + mine, left), db::Outcome::kOk);
  }

  EXPECT_EQ(object.GetMacData(kMachine), 3);
  EXPECT_EQ(rows("WorkCardSource").size(), 6u);
  ASSERT_EQ(logged.size(), 1u);
  EXPECT_TRUE(logged[0].starts_with("GetMacData(3): the database dropped the connection"))
      << logged[0];
}

// The connection drops around the commit, through a relay between the library and the server:
// after the COMMIT was forwarded (the server committed, its reply is lost) or before (the server
// rolls back). The library asks a new session what became of the transaction and writes the
// records again only when they were rolled back: every record once, and the result says so.
TEST_P(AttendDownload, CommitWhoseReplyIsLostIsNeitherRepeatedNorReportedLost) {
  if (GetParam() != Engine::kPostgresql) GTEST_SKIP() << "an SQLite file has no server";
  const std::string text = database.text();
  const size_t at = text.find("Port=");
  ASSERT_NE(at, std::string::npos) << text;
  const size_t end = text.find(';', at);
  const int serverPort = std::stoi(text.substr(at + 5, end - at - 5));
  for (const PgProxy::Drop drop : {PgProxy::Drop::kAfterCommit, PgProxy::Drop::kBeforeCommit}) {
    SCOPED_TRACE(drop == PgProxy::Drop::kAfterCommit ? "after" : "before");
    execute("delete from WorkCardSource");
    attend::replaceSharedDatabase(nullptr);
    PgProxy proxy(static_cast<uint16_t>(serverPort));
    object.setConnectString(text.substr(0, at) + "Port=" + std::to_string(proxy.port()) +
                            text.substr(end));
    proxy.arm(drop);
    logged.clear();
    EXPECT_EQ(object.GetMacData(kMachine), 3);
    EXPECT_TRUE(proxy.dropped());
    EXPECT_EQ(attend::lastDownload().ending, attend::DownloadReport::Ending::kCommitted);
    EXPECT_EQ(rows("WorkCardSource"), kAllThree);
    ASSERT_FALSE(logged.empty());
    EXPECT_NE(logged.back().find(drop == PgProxy::Drop::kAfterCommit
                                     ? "the database says the download was committed"
                                     : "the database says the download was rolled back"),
              std::string::npos)
        << logged.back();
    attend::replaceSharedDatabase(nullptr);
    component::sharedPort().PortOpen(false);
  }
}

INSTANTIATE_TEST_SUITE_P(Engines, AttendDownload,
                         ::testing::Values(Engine::kSqlite, Engine::kPostgresql),
                         db::testing::engineName);

}  // namespace
}  // namespace solvard::integration
