// `solvard collect` as a service runs it: two lines, each with an attendance and a door terminal,
// into an SQLite file and, when the test server is up, into PostgreSQL.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <nlohmann/json.hpp>
#include <regex>
#include <thread>

#include "collect_fixture.hpp"
#include "collect_schema.hpp"
#include "db/database_fixture.hpp"
#include "integration/pg_proxy.hpp"
#include "query_text.hpp"
#include "run_command.hpp"
#include "simulator/access_terminal.hpp"
#include "simulator/attend_terminal.hpp"
#include "simulator/simulator.hpp"

namespace solvard::tool {
namespace {

namespace fs = std::filesystem;
using db::testing::Engine;
using simulator::Bytes;

// Stored attendance records: card, then date and time packed two digits a byte, then the end
// mark.
const Bytes kPunchA1 = {0x12, 0x34, 0x56, 0x01, 0x05, 0x07, 0x08, 0x30, 0xAA};
const Bytes kPunchA2 = {0x00, 0x00, 0x07, 0x01, 0x05, 0x08, 0x17, 0x05, 0xAA};
const Bytes kPunchB = {0x65, 0x43, 0x21, 0x02, 0x12, 0x31, 0x23, 0x59, 0xAA};

const std::string kAttendanceRows =
    "A 1 000007 2001-05-08 17:05:00 \n"
    "A 1 123456 2001-05-07 08:30:00 \n"
    "B 2 654321 2002-12-31 23:59:00 \n";
const std::string kAccessRows =
    "A 3 0000012345 2001-06-29 08:05 \n"
    "A 3 9876543210 2001-06-30 17:45 \n"
    "B 4 0000000042 2003-01-02 06:07 \n";

class CollectTest : public ::testing::TestWithParam<Engine> {
 protected:
  void SetUp() override {
    if (!database.create()) GTEST_SKIP() << "SOLVARD_PG_CONNECT is not set";
    clockA = &lineA.add(std::make_unique<simulator::AttendTerminal>(1));
    clockA->storeRecords({kPunchA1, kPunchA2});
    auto& doorA = lineA.add(std::make_unique<simulator::AccessTerminal>(3));
    doorA.store(simulator::accessRecord("0000012345", 1, 6, 29, 8, 5));
    doorA.store(simulator::accessRecord("9876543210", 1, 6, 30, 17, 45));
    clockB = &lineB.add(std::make_unique<simulator::AttendTerminal>(2));
    clockB->storeRecords({kPunchB});
    lineB.add(std::make_unique<simulator::AccessTerminal>(4))
        .store(simulator::accessRecord("0000000042", 3, 1, 2, 6, 7));
    lineA.start();
    lineB.start();
  }
  void TearDown() override {
    lineA.stop();
    lineB.stop();
  }

  // A config of both lines; `extraA` goes into line A's table, `clearA` is its clock's policy.
  std::string config(const std::string& clearA = "never", const std::string& extraA = "",
                     const std::string& top = "") {
    const std::string text = "database = \"" + database.text() + "\"\n" + top +
                             "[[line]]\nname = \"A\"\nport = \"" + lineA.path() +
                             "\"\n"
                             "[[line.terminal]]\nkind = \"attend\"\nmachines = 1\nclear = \"" +
                             clearA + "\"\n" +
                             "[[line.terminal]]\nkind = \"door\"\nmachines = [3]\n" + extraA +
                             "[[line]]\nname = \"B\"\nport = \"" + lineB.path() +
                             "\"\nbaud = 9600\n"
                             "[[line.terminal]]\nkind = \"attend\"\nmachines = \"2\"\n"
                             "[[line.terminal]]\nkind = \"door\"\nmachines = \"4-4\"\nname = "
                             "\"gate\"\n";
    const fs::path path = folder.path() / "collect.toml";
    std::ofstream(path) << text;
    return path.string();
  }

  CommandRun collect(const std::string& configPath, std::vector<std::string> more = {}) {
    std::vector<std::string> words{"collect", "--config", configPath};
    words.insert(words.end(), more.begin(), more.end());
    return runCommand(SOLVARD_PROGRAM, words, folder.env());
  }

  std::string rows(const std::string& table) {
    return testing::queryText(database.text(),
                              "select line, machine, card, record_date, record_time from " + table +
                                  " order by line, machine, card");
  }

  int cleared(simulator::Simulator& sim, simulator::AttendTerminal* clock) {
    return sim.withState([&] { return clock->state().recordsCleared; });
  }

  db::testing::Database database{GetParam()};
  simulator::Simulator lineA, lineB;
  simulator::AttendTerminal* clockA = nullptr;
  simulator::AttendTerminal* clockB = nullptr;
  testing::CollectFolder folder{"collect"};
};

TEST_P(CollectTest, EveryRecordIsStoredOnceAndASecondPassAddsNothing) {
  const std::string path = config();
  CommandRun got = collect(path);
  ASSERT_EQ(got.status, 0) << got.out << got.err;
  EXPECT_EQ(rows("attendance_records"), kAttendanceRows);
  EXPECT_EQ(rows("access_records"), kAccessRows);
  EXPECT_TRUE(std::regex_search(
      got.err,
      std::regex(
          "line A terminal 1: 2 records \\(2 stored, 0 already stored, 0 kept\\) in [0-9.]+ s\n")))
      << got.err;
  EXPECT_TRUE(std::regex_search(got.out, std::regex("line B door terminal 4 \\(gate\\): 1 records "
                                                    "\\(1 stored, 0 already stored, 0 kept\\) "
                                                    "in [0-9.]+ s\n")))
      << got.out;
  EXPECT_TRUE(
      std::regex_search(got.out, std::regex("collected 6 records from 4 of 4 terminals \\(pass "
                                            "[0-9]{8}T[0-9]{6}Z-[0-9a-f]{8}\\)\n$")))
      << got.out;

  // The clocks keep their records (never cleared), so they come again and are stored once.
  got = collect(path, {"--json"});
  ASSERT_EQ(got.status, 0) << got.out << got.err;
  const auto pass = nlohmann::json::parse(got.out);
  EXPECT_EQ(testing::terminalsOf(pass), "A/attend/1:2 A/door/3:0 B/attend/2:1 B/door/4:0 ");
  EXPECT_EQ(pass["ok"], true);
  EXPECT_TRUE(pass["error"].is_null());
  EXPECT_TRUE(pass["machine"].is_null());
  EXPECT_EQ(rows("attendance_records"), kAttendanceRows);
  EXPECT_EQ(rows("access_records"), kAccessRows);
  EXPECT_EQ(cleared(lineA, clockA), 0);
  EXPECT_EQ(cleared(lineB, clockB), 0);
}

TEST_P(CollectTest, ASilentTerminalFailsAloneAndTheOthersAreStored) {
  const std::string path = config("never", "[[line.terminal]]\nkind = \"door\"\nmachines = 9\n");
  const CommandRun got = collect(path, {"--json"});
  EXPECT_EQ(got.status, 1) << got.out << got.err;
  const auto pass = nlohmann::json::parse(got.out);
  EXPECT_EQ(testing::terminalsOf(pass),
            "A/attend/1:2 A/door/3:2 A/door/9:0!no_reply B/attend/2:1 B/door/4:1 ");
  EXPECT_EQ(pass["ok"], false);
  EXPECT_EQ(pass["error"]["code"], "terminals_failed");
  EXPECT_EQ(pass["error"]["detail"], "1 of 5: line A terminal 9");
  EXPECT_EQ(rows("attendance_records"), kAttendanceRows);
  EXPECT_EQ(rows("access_records"), kAccessRows);
}

TEST_P(CollectTest, AfterCommitClearsOnlyThatClockOnceItsRecordsAreStored) {
  const CommandRun got = collect(config("after-commit", "", "warn_above = 1\n"), {"--json"});
  ASSERT_EQ(got.status, 0) << got.out << got.err;
  EXPECT_EQ(rows("attendance_records"), kAttendanceRows);
  EXPECT_EQ(cleared(lineA, clockA), 1);
  EXPECT_EQ(cleared(lineB, clockB), 0);
  const auto terminals = nlohmann::json::parse(got.out)["result"]["terminals"];
  EXPECT_EQ(terminals[0]["cleared"], true);
  EXPECT_TRUE(terminals[0]["clear_window_ms"].is_number());
  EXPECT_EQ(terminals[2]["cleared"], false);
  EXPECT_TRUE(terminals[2]["clear_window_ms"].is_null());
  // Two records are more than warn_above, one is not.
  EXPECT_EQ(terminals[0]["warned"], true);
  EXPECT_EQ(terminals[2]["warned"], false);
  EXPECT_NE(
      got.err.find("line A terminal 1: more records than warn_above (1): collect more often\n"),
      std::string::npos)
      << got.err;
  EXPECT_EQ(got.err.find("line B terminal 2: more records"), std::string::npos) << got.err;
}

TEST_P(CollectTest, TheSchemaVersionIsWrittenOnce) {
  const std::string path = config();
  ASSERT_EQ(collect(path).status, 0);
  ASSERT_EQ(collect(path).status, 0);
  auto reader = db::makeOdbcConnection();
  db::Rows result;
  ASSERT_EQ(reader->Open(database.text()), db::Outcome::kOk);
  ASSERT_EQ(reader->queryRows("select version from solvard_schema", result), db::Outcome::kOk);
  EXPECT_EQ(result, (db::Rows{{"2"}}));
}

TEST_P(CollectTest, ADatabaseThatCannotBeUsedGivesThreeAndAsksNoTerminal) {
  const std::string path = config();
  std::string text;
  {
    std::ifstream in(path);
    text.assign(std::istreambuf_iterator<char>(in), {});
  }
  text.replace(text.find(database.text()), database.text().size(), "Driver=NoSuchDriver;");
  std::ofstream(path) << text;
  const CommandRun got = collect(path, {"--json"});
  EXPECT_EQ(got.status, 3) << got.out << got.err;
  const auto pass = nlohmann::json::parse(got.out);
  EXPECT_EQ(pass["error"]["code"], "database_unavailable");
  EXPECT_TRUE(pass["result"]["terminals"].empty());
  EXPECT_TRUE(lineA.frames().empty());
  EXPECT_TRUE(lineB.frames().empty());
}

TEST_P(CollectTest, ARefusedDoorRecordIsKeptAndWrittenFirstByTheNextPass) {
  auto setup = db::makeOdbcConnection();
  ASSERT_EQ(setup->Open(database.text()), db::Outcome::kOk);
  ASSERT_EQ(prepareCollectTables(*setup), "");
  // The database refuses one card until the trigger goes.
  const bool sqlite = GetParam() == Engine::kSqlite;
  const std::vector<std::string> refuse =
      sqlite ? std::vector<std::string>{"create trigger refuse before insert on access_records "
                                        "when new.card = '9876543210' begin select "
                                        "raise(abort, 'refused'); end"}
             : std::vector<std::string>{
                   "create function refuse() returns trigger language plpgsql as $$ begin if "
                   "new.card = '9876543210' then raise exception 'refused'; end if; return new; "
                   "end $$",
                   "create trigger refuse before insert on access_records for each row execute "
                   "function refuse()"};
  for (const std::string& statement : refuse)
    ASSERT_EQ(setup->Execute(statement), db::Outcome::kOk) << setup->lastDiagnostic().text();

  const std::string path = config();
  CommandRun got = collect(path, {"--json"});
  EXPECT_EQ(got.status, 3) << got.out << got.err;
  EXPECT_EQ(testing::terminalsOf(nlohmann::json::parse(got.out)),
            "A/attend/1:2 A/door/3:2!sink_refused B/attend/2:1 B/door/4:1 ");
  EXPECT_EQ(rows("access_records"),
            "A 3 0000012345 2001-06-29 08:05 \nB 4 0000000042 2003-01-02 06:07 \n");

  ASSERT_EQ(setup->Execute("drop trigger refuse" + std::string(sqlite ? "" : " on access_records")),
            db::Outcome::kOk);
  got = collect(path);
  EXPECT_EQ(got.status, 0) << got.out << got.err;
  EXPECT_EQ(rows("access_records"), kAccessRows);
}

TEST_P(CollectTest, TwoCollectorsStartingAtOnceIntoOneDatabaseStoreEveryRecordOnce) {
  // Each collector has a line of its own; both find the tables missing.
  std::string whole;
  {
    std::ifstream in(config());
    whole.assign(std::istreambuf_iterator<char>(in), {});
  }
  const std::size_t second = whole.find("[[line]]", whole.find("[[line]]") + 1);
  const std::string head = whole.substr(0, whole.find("[[line]]"));
  std::ofstream(folder.path() / "a.toml") << whole.substr(0, second);
  std::ofstream(folder.path() / "b.toml") << head + whole.substr(second);
  auto first = folder.startCollector({"--config", (folder.path() / "a.toml").string()});
  auto other = folder.startCollector({"--config", (folder.path() / "b.toml").string()});
  EXPECT_EQ(first->exitStatus(std::chrono::seconds(20)), 0) << first->errors();
  EXPECT_EQ(other->exitStatus(std::chrono::seconds(20)), 0) << other->errors();
  EXPECT_EQ(rows("attendance_records"), kAttendanceRows);
  EXPECT_EQ(rows("access_records"), kAccessRows);
  auto reader = db::makeOdbcConnection();
  db::Rows versions;
  ASSERT_EQ(reader->Open(database.text()), db::Outcome::kOk);
  ASSERT_EQ(reader->queryRows("select version from solvard_schema", versions), db::Outcome::kOk);
  EXPECT_EQ(versions, (db::Rows{{"2"}}));
}

TEST_P(CollectTest, SigtermMidwayFinishesTheRecordInHandAndLosesNone) {
  // A door terminal on a line paced at 9600 baud, holding more records than a second carries.
  simulator::Simulator slow(simulator::SimulatorOptions{.paced = true});
  auto& door = slow.add(std::make_unique<simulator::AccessTerminal>(5));
  for (int i = 0; i < 300; ++i)
    door.store(simulator::accessRecord("00000" + std::to_string(10000 + i), 4, 1, 1 + i / 60,
                                       i / 60, i % 60));
  slow.start();
  const fs::path path = folder.path() / "slow.toml";
  std::ofstream(path) << "database = \"" + database.text() +
                             "\"\n[[line]]\nname = \"S\"\nport = \"" + slow.path() +
                             "\"\n[[line.terminal]]\nkind = \"door\"\nmachines = 5\n";
  auto collector = folder.startCollector({"--config", path.string(), "--json"});
  const auto acknowledged = [&] {
    return slow.withState([&] { return door.state().acknowledged.size(); });
  };
  for (int i = 0; i < 100 && acknowledged() < 5; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  ASSERT_GE(acknowledged(), 5u);
  EXPECT_EQ(collector->stop(SIGTERM), 0) << collector->errors();
  const auto pass = nlohmann::json::parse(collector->output());
  EXPECT_EQ(pass["result"]["terminals"][0]["error"]["code"], "stopped");
  slow.stop();
  const std::size_t forgotten = door.state().acknowledged.size();
  EXPECT_LT(forgotten, 300u);
  // Every record the terminal forgot is stored; the one in hand may be stored too, and the
  // terminal still holds it.
  const std::string stored = rows("access_records");
  const auto storedCount = static_cast<std::size_t>(std::count(stored.begin(), stored.end(), '\n'));
  EXPECT_GE(storedCount, forgotten);
  EXPECT_LE(storedCount, forgotten + 1);
  EXPECT_EQ(pass["result"]["terminals"][0]["records"], storedCount);
}

// The connection drops around a clock's commit, through a relay between the collector and the
// server: after the COMMIT was forwarded (the server committed, its reply is lost) or before (the
// server rolls back). The pass says the database failed; the next pass stores every record once.
TEST_P(CollectTest, ACommitWhoseConnectionDropsIsStoredOnceByTheNextPass) {
  if (GetParam() != Engine::kPostgresql) GTEST_SKIP() << "an SQLite file has no server";
  const std::string text = database.text();
  const std::size_t at = text.find("Port=");
  ASSERT_NE(at, std::string::npos) << text;
  const std::size_t end = text.find(';', at);
  const auto serverPort = static_cast<uint16_t>(std::stoi(text.substr(at + 5, end - at - 5)));
  for (const auto drop :
       {integration::PgProxy::Drop::kAfterCommit, integration::PgProxy::Drop::kBeforeCommit}) {
    SCOPED_TRACE(drop == integration::PgProxy::Drop::kAfterCommit ? "after" : "before");
    integration::PgProxy proxy(serverPort);
    proxy.arm(drop);
    const std::string direct = config();
    std::string relayed;
    {
      std::ifstream in(direct);
      relayed.assign(std::istreambuf_iterator<char>(in), {});
    }
    relayed.replace(relayed.find("Port=") + 5, end - at - 5, std::to_string(proxy.port()));
    const fs::path path = folder.path() / "relayed.toml";
    std::ofstream(path) << relayed;
    CommandRun got = collect(path.string(), {"--json"});
    EXPECT_TRUE(proxy.dropped());
    EXPECT_EQ(got.status, 3) << got.out << got.err;
    // The pass reached every terminal; the clock whose commit was cut is the one that failed.
    const auto pass = nlohmann::json::parse(got.out);
    EXPECT_EQ(pass["error"]["code"], "terminals_failed");
    const std::string terminals = testing::terminalsOf(pass);
    EXPECT_EQ(std::count(terminals.begin(), terminals.end(), '!'), 1) << terminals;
    EXPECT_TRUE(std::regex_search(terminals, std::regex("[AB]/attend/[12]:0!"))) << terminals;
    got = collect(direct);
    EXPECT_EQ(got.status, 0) << got.out << got.err;
    EXPECT_EQ(rows("attendance_records"), kAttendanceRows);
    EXPECT_EQ(rows("access_records"), kAccessRows);
  }
}

TEST_P(CollectTest, EveryRepeatsPassesUntilSigtermAndThenEndsWell) {
  const std::string path = config();
  auto collector = folder.startCollector({"--config", path, "--every", "1s", "--json"});
  // Two passes, a second apart: the second finds the door terminals emptied by the first.
  const std::string passes = collector->outputLines(2, std::chrono::seconds(20));
  ASSERT_EQ(std::count(passes.begin(), passes.end(), '\n'), 2) << passes << collector->errors();
  const auto second = nlohmann::json::parse(passes.substr(passes.find('\n') + 1));
  EXPECT_EQ(testing::terminalsOf(second), "A/attend/1:2 A/door/3:0 B/attend/2:1 B/door/4:0 ");
  EXPECT_EQ(collector->stop(SIGTERM), 0);
  EXPECT_EQ(rows("access_records"), kAccessRows);
}

INSTANTIATE_TEST_SUITE_P(Engines, CollectTest,
                         ::testing::Values(Engine::kSqlite, Engine::kPostgresql),
                         db::testing::engineName);

}  // namespace
}  // namespace solvard::tool
