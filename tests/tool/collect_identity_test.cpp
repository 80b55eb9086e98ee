// A record's identity in the collector's tables is its occurrence: repeats a terminal really
// holds are rows of their own, a clock read again adds nothing, and a database of the earlier
// layout keeps every row once through its migration.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <regex>

#include "collect_fixture.hpp"
#include "db/database_fixture.hpp"
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

const Bytes kPunch = {0x12, 0x34, 0x56, 0x01, 0x05, 0x07, 0x08, 0x30, 0xAA};
const Bytes kOtherPunch = {0x00, 0x00, 0x07, 0x01, 0x05, 0x08, 0x17, 0x05, 0xAA};
const Bytes kSwipe = simulator::accessRecord("0000012345", 1, 6, 29, 8, 5);
const Bytes kOtherSwipe = simulator::accessRecord("9876543210", 1, 6, 30, 17, 45);

std::string hex(const Bytes& bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  for (const uint8_t byte : bytes) text += {kDigits[byte >> 4], kDigits[byte & 15]};
  return text;
}

class CollectIdentityTest : public ::testing::TestWithParam<Engine> {
 protected:
  void SetUp() override {
    if (!database.create()) GTEST_SKIP() << "SOLVARD_PG_CONNECT is not set";
    clock = &line.add(std::make_unique<simulator::AttendTerminal>(1));
    door = &line.add(std::make_unique<simulator::AccessTerminal>(3));
    line.start();
  }
  void TearDown() override { line.stop(); }

  std::string config(const std::string& clear, const std::string& extra = "") {
    const fs::path path = folder.path() / "collect.toml";
    std::ofstream(path) << "database = \"" << database.text() << "\"\n[[line]]\nname = \"A\"\n"
                        << "port = \"" << line.path() << "\"\n"
                        << "[[line.terminal]]\nkind = \"attend\"\nmachines = 1\nclear = \"" << clear
                        << "\"\n[[line.terminal]]\nkind = \"door\"\nmachines = 3\n"
                        << extra;
    return path.string();
  }

  // One pass: each terminal's "given stored already kept from_kept".
  std::string pass(const std::string& clear = "never") {
    const CommandRun got =
        runCommand(SOLVARD_PROGRAM, {"collect", "--config", config(clear), "--json"}, folder.env());
    EXPECT_EQ(got.status, 0) << got.out << got.err;
    const auto outcome = nlohmann::json::parse(got.out, nullptr, false);
    std::string counts;
    for (const auto& t : outcome["result"]["terminals"]) {
      counts += t["kind"].get<std::string>() + " " + t["given"].dump() + " " + t["stored"].dump() +
                " " + t["already_stored"].dump() + " " + t["kept"].dump() + " " +
                t["from_kept"].dump() + "; ";
    }
    return counts;
  }

  std::string rows(const std::string& table) {
    return testing::queryText(database.text(),
                              "select card, record_date, record_time, occurrence from " + table +
                                  " order by card, record_date, record_time, occurrence");
  }

  void execute(const std::vector<std::string>& statements) {
    auto connection = db::makeOdbcConnection();
    ASSERT_EQ(connection->Open(database.text()), db::Outcome::kOk);
    for (const std::string& statement : statements) {
      ASSERT_EQ(connection->Execute(statement), db::Outcome::kOk)
          << statement << ": " << connection->lastDiagnostic().text();
    }
  }

  db::testing::Database database{GetParam()};
  testing::CollectFolder folder{"collect-identity"};
  simulator::Simulator line;
  simulator::AttendTerminal* clock = nullptr;
  simulator::AccessTerminal* door = nullptr;
};

TEST_P(CollectIdentityTest, EveryRepeatIsARowAndAClockReadAgainAddsNothing) {
  // A card presented twice in one minute, at the clock and at the door.
  line.withState([&] {
    clock->storeRecords({kPunch, kPunch, kOtherPunch});
    for (const Bytes& swipe : {kSwipe, kSwipe, kOtherSwipe}) door->store(swipe);
  });
  EXPECT_EQ(pass(), "attend 3 3 0 0 0; door 3 3 0 0 0; ");
  EXPECT_EQ(rows("attendance_records"),
            "000007 2001-05-08 17:05:00 c0.1 \n"
            "123456 2001-05-07 08:30:00 c0.1 \n"
            "123456 2001-05-07 08:30:00 c0.2 \n");
  const std::string swipes = rows("access_records");
  EXPECT_TRUE(std::regex_match(swipes, std::regex("0000012345 2001-06-29 08:05 [0-9a-f]{16} \n"
                                                  "0000012345 2001-06-29 08:05 [0-9a-f]{16} \n"
                                                  "9876543210 2001-06-30 17:45 [0-9a-f]{16} \n")))
      << swipes;

  // Not cleared, the clock gives the same three again: found, not added.
  EXPECT_EQ(pass(), "attend 3 0 3 0 0; door 0 0 0 0 0; ");
  // Cleared after this pass; the same card in the same minute again is a new punch.
  EXPECT_EQ(pass("after-commit"), "attend 3 0 3 0 0; door 0 0 0 0 0; ");
  line.withState([&] { clock->storeRecords({kPunch}); });
  EXPECT_EQ(pass("after-commit"), "attend 1 1 0 0 0; door 0 0 0 0 0; ");
  EXPECT_EQ(rows("attendance_records"),
            "000007 2001-05-08 17:05:00 c0.1 \n"
            "123456 2001-05-07 08:30:00 c0.1 \n"
            "123456 2001-05-07 08:30:00 c0.2 \n"
            "123456 2001-05-07 08:30:00 c1.1 \n");
  EXPECT_EQ(rows("access_records"), swipes);

  // One ledger row per pass per terminal, in the order the passes ran.
  EXPECT_EQ(testing::queryText(database.text(),
                               "select kind, given, stored, already_stored, kept, from_kept, "
                               "cleared, error from solvard_ledger order by started_at, pass_id, "
                               "machine"),
            "attend 3 3 0 0 0 0  \ndoor 3 3 0 0 0 0  \n"
            "attend 3 0 3 0 0 0  \ndoor 0 0 0 0 0 0  \n"
            "attend 3 0 3 0 0 1  \ndoor 0 0 0 0 0 0  \n"
            "attend 1 1 0 0 0 1  \ndoor 0 0 0 0 0 0  \n");
  // Every row names the pass that stored it, and each pass's rows are what its ledger says.
  EXPECT_EQ(testing::queryText(database.text(),
                               "select count(*) from attendance_records r where not exists (select "
                               "1 from solvard_ledger l where l.pass_id = r.pass_id and l.machine "
                               "= 1 and l.stored > 0)"),
            "0 \n");
}

TEST_P(CollectIdentityTest, ALayoutOneDatabaseKeepsEveryRowOnceThroughItsMigration) {
  // What the earlier release left: its tables, a clock's punches and a door's swipe stored, and
  // that swipe kept as well in its kept-records file (its commit's outcome was not known).
  const std::string v1Columns =
      " (line varchar(255) not null, machine integer not null, card varchar(32) not null,"
      " record_date varchar(32) not null, record_time varchar(32) not null,"
      " collected_at varchar(32) not null, unique (line, machine, card, record_date, "
      "record_time))";
  execute({"create table solvard_schema (version integer not null primary key)",
           "insert into solvard_schema values (1)", "create table attendance_records" + v1Columns,
           "create table access_records" + v1Columns,
           "insert into attendance_records values ('A', 1, '123456', '2001-05-07', '08:30:00', "
           "'2026-01-01 00:00:00Z')",
           "insert into attendance_records values ('A', 1, '000007', '2001-05-08', '17:05:00', "
           "'2026-01-01 00:00:00Z')",
           "insert into access_records values ('A', 3, '0000012345', '2001-06-29', '08:05', "
           "'2026-01-01 00:00:00Z')"});
  fs::create_directories(folder.path() / "state" / "solvard");
  std::ofstream(folder.path() / "state" / "solvard" / "pending-access-records")
      << "3 " << hex(kSwipe) << " " << line.path() << "\n";
  line.withState([&] {
    clock->storeRecords({kPunch, kOtherPunch});
    door->store(kOtherSwipe);
  });

  EXPECT_EQ(pass(), "attend 2 0 2 0 0; door 1 1 1 0 1; ");
  EXPECT_EQ(testing::queryText(database.text(), "select version from solvard_schema order by 1"),
            "1 \n2 \n");
  EXPECT_EQ(rows("attendance_records"),
            "000007 2001-05-08 17:05:00 c0.1 \n"
            "123456 2001-05-07 08:30:00 c0.1 \n");
  const std::string swipes = rows("access_records");
  EXPECT_TRUE(std::regex_match(swipes, std::regex("0000012345 2001-06-29 08:05 v1 \n"
                                                  "9876543210 2001-06-30 17:45 [0-9a-f]{16} \n")))
      << swipes;
  EXPECT_EQ(testing::queryText(database.text(),
                               "select collected_at from attendance_records order by card"),
            "2026-01-01 00:00:00Z \n2026-01-01 00:00:00Z \n");
  // A second collector finds the new layout and migrates nothing again.
  EXPECT_EQ(pass(), "attend 2 0 2 0 0; door 0 0 0 0 0; ");
}

// `solvard verify` reads the ledger and the tables and names every gap with its cause.
TEST_P(CollectIdentityTest, VerifyNamesEveryGapWithItsCause) {
  line.withState([&] {
    clock->storeRecords({kPunch, kOtherPunch});
    door->store(kSwipe);
    door->store(kOtherSwipe);
  });
  // The database refuses one card for a while: that swipe is kept for the next pass.
  const bool sqlite = GetParam() == Engine::kSqlite;
  const std::string absentClock = "[[line.terminal]]\nkind = \"attend\"\nmachines = 9\n";
  const std::string path = config("after-commit", absentClock);
  runCommand(SOLVARD_PROGRAM, {"collect", "--config", path}, folder.env());  // makes the tables
  execute(sqlite ? std::vector<std::string>{"create trigger refuse before insert on "
                                            "access_records when new.card = '9876543210' begin "
                                            "select raise(abort, 'refused'); end"}
                 : std::vector<std::string>{
                       "create function refuse() returns trigger language plpgsql as $$ begin "
                       "if new.card = '9876543210' then raise exception 'refused'; end if; "
                       "return new; end $$",
                       "create trigger refuse before insert on access_records for each row "
                       "execute function refuse()"});
  line.withState([&] { door->store(kOtherSwipe); });
  runCommand(SOLVARD_PROGRAM, {"collect", "--config", path}, folder.env());

  const auto verify = [&] {
    return runCommand(SOLVARD_PROGRAM, {"verify", "-c", path, "--json"}, folder.env());
  };
  CommandRun got = verify();
  EXPECT_EQ(got.status, 0) << got.out << got.err;
  auto report = nlohmann::json::parse(got.out, nullptr, false);
  const auto causes = [&](int terminal) {
    std::string text;
    for (const auto& gap : report["result"]["terminals"][terminal]["gaps"])
      text += gap["cause"].get<std::string>() + "/" + gap["missing"].dump() + " ";
    return text;
  };
  EXPECT_EQ(report["ok"], true);
  EXPECT_EQ(causes(0), "clear_window/0 ");  // the clock, cleared once with records
  EXPECT_EQ(causes(1), "pass_failed/0 kept_not_written/0 ");
  EXPECT_EQ(causes(2), "pass_failed/0 pass_failed/0 ");  // machine 9 never answered
  EXPECT_EQ(report["result"]["terminals"][1]["kept_waiting"], 1);
  EXPECT_EQ(report["result"]["terminals"][2]["gaps"][0]["detail"].get<std::string>().substr(0, 29),
            "the terminal did not answer: ");

  // A row gone from the table is missing, and said to be.
  execute({"delete from access_records where card = '0000012345'"});
  got = verify();
  EXPECT_EQ(got.status, 1) << got.out << got.err;
  report = nlohmann::json::parse(got.out, nullptr, false);
  EXPECT_EQ(report["error"]["code"], "records_missing");
  EXPECT_EQ(causes(1), "rows_missing/1 pass_failed/0 kept_not_written/0 ");
  EXPECT_EQ(report["result"]["terminals"][1]["missing"], 1);
  got = runCommand(SOLVARD_PROGRAM, {"verify", "-c", path}, folder.env());
  EXPECT_EQ(got.status, 1);
  EXPECT_NE(got.out.find("line A door terminal 3: 3 records given in 2 passes, 2 stored, 0 found "
                         "stored, 1 kept; 1 missing or stored twice\n"),
            std::string::npos)
      << got.out;
  EXPECT_TRUE(
      got.out.ends_with("not verified: records are missing or stored twice on 1 of 3 terminals\n"))
      << got.out;
}

INSTANTIATE_TEST_SUITE_P(Engines, CollectIdentityTest,
                         ::testing::Values(Engine::kSqlite, Engine::kPostgresql),
                         db::testing::engineName);

}  // namespace
}  // namespace solvard::tool
