// The PostgreSQL server itself stopped in the middle of a collect pass and started again, as a
// database host restarting for maintenance does. The server is one of the test's own, made as
// scripts/pg-test-server.sh makes the shared one, so that stopping it disturbs no other test. The
// pass ends saying the database failed; every record is in the database, still in its terminal
// or kept; once the server is back, the next pass stores each exactly once and leaves the
// terminals and the kept-records file empty.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "collect_fixture.hpp"
#include "collect_records.hpp"
#include "process_faults.hpp"
#include "run_command.hpp"
#include "ser2net_process.hpp"
#include "simulator/attend_terminal.hpp"
#include "simulator/simulator.hpp"

namespace solvard::tool {
namespace {

namespace fs = std::filesystem;

// The newest PostgreSQL server programs installed, or nothing.
fs::path postgresPrograms() {
  std::vector<fs::path> found;
  std::error_code ignored;
  for (const auto& entry : fs::directory_iterator("/usr/lib/postgresql", ignored)) {
    if (fs::exists(entry.path() / "bin" / "pg_ctl")) found.push_back(entry.path() / "bin");
  }
  if (found.empty()) return {};
  // "9.6" < "15": the versions compare as numbers.
  std::sort(found.begin(), found.end(), [](const fs::path& a, const fs::path& b) {
    return std::stod(a.parent_path().filename().string()) <
           std::stod(b.parent_path().filename().string());
  });
  return found.back();
}

// A PostgreSQL server of the test's own in `root`: trust authentication, 127.0.0.1 and a free
// port only, fsync off, an empty database solvard_restart. Run as root, its programs run as the
// user postgres, as the script runs them.
class ThrowawayServer {
 public:
  explicit ThrowawayServer(fs::path root) : root_(std::move(root)), bin_(postgresPrograms()) {}
  ~ThrowawayServer() {
    if (running_) stop();
  }
  ThrowawayServer(const ThrowawayServer&) = delete;
  ThrowawayServer& operator=(const ThrowawayServer&) = delete;

  // Why the server cannot be had here, or nothing.
  std::string unavailable() const {
    if (bin_.empty()) return "no PostgreSQL server is installed (the package postgresql)";
    if (::geteuid() == 0 && runCommand("/usr/bin/id", {"postgres"}).status != 0)
      return "run as root, the server needs the user postgres";
    return {};
  }

  // Makes the data folder and the database; false with the programs' words in `problem`.
  bool create(std::string& problem) {
    port_ = testing::freeLocalPort();
    fs::create_directories(root_);
    if (::geteuid() == 0) {
      const CommandRun owned = runCommand("/bin/chown", {"-R", "postgres:", root_.string()});
      if (owned.status != 0) return fail("chown", owned, problem);
    }
    const CommandRun made = asOwner("initdb", {"-D", data(), "-U", "postgres", "-A", "trust", "-E",
                                               "UTF8", "--no-locale", "--no-sync"});
    if (made.status != 0) return fail("initdb", made, problem);
    if (!start(problem)) return false;
    const CommandRun database = asOwner("createdb", {"-h", "127.0.0.1", "-p", std::to_string(port_),
                                                     "-U", "postgres", "solvard_restart"});
    if (database.status != 0) return fail("createdb", database, problem);
    return true;
  }
  bool start(std::string& problem) {
    const CommandRun started =
        asOwner("pg_ctl", {"start", "-D", data(), "-l", (root_ / "server.log").string(), "-w", "-t",
                           "30", "-o",
                           // No socket file: a test folder's path is longer than one may be.
                           "-p " + std::to_string(port_) +
                               " -c unix_socket_directories='' -c listen_addresses=127.0.0.1 -c "
                               "fsync=off"});
    running_ = started.status == 0;
    return running_ || fail("pg_ctl start", started, problem);
  }
  // Stops it as an administrator does before maintenance: every session ended at once.
  bool stop() {
    const CommandRun stopped = asOwner("pg_ctl", {"stop", "-D", data(), "-m", "fast", "-w"});
    running_ = stopped.status != 0;
    return !running_;
  }

  std::string connectionText() const {
    return "Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=" + std::to_string(port_) +
           ";Database=solvard_restart;Uid=postgres;";
  }

 private:
  std::string data() const { return (root_ / "data").string(); }
  CommandRun asOwner(const std::string& program, std::vector<std::string> args) const {
    const std::string path = (bin_ / program).string();
    if (::geteuid() != 0) return runCommand(path, args);
    args.insert(args.begin(), {"-u", "postgres", "--", path});
    return runCommand("/usr/sbin/runuser", args);
  }
  static bool fail(const std::string& step, const CommandRun& run, std::string& problem) {
    problem = step + " ended with " + std::to_string(run.status) + ": " + run.out + run.err;
    return false;
  }

  fs::path root_;
  fs::path bin_;
  int port_ = 0;
  bool running_ = false;
};

constexpr int kClock1Records = 30;
constexpr int kDoor3Records = 300;
constexpr int kClock2Records = 800;  // about 4 s of stream at 19200 baud
constexpr int kDoor4Records = 20;

class PgRestartTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string missing = server.unavailable();
    if (!missing.empty()) GTEST_SKIP() << missing;
    std::string problem;
    ASSERT_TRUE(server.create(problem)) << problem;
    punches1 = simulator::sampleRecords(kClock1Records, 3);
    punches2 = simulator::sampleRecords(kClock2Records, 4);
    doors3 = testing::distinctDoorRecords(kDoor3Records, 17);
    doors4 = testing::distinctDoorRecords(kDoor4Records, 18);
    clock1 = &lineL.add(std::make_unique<simulator::AttendTerminal>(1));
    clock1->storeRecords(punches1);
    door3 = &lineL.add(std::make_unique<simulator::AccessTerminal>(3));
    for (const auto& record : doors3) door3->store(record);
    clock2 = &lineM.add(std::make_unique<simulator::AttendTerminal>(2));
    clock2->storeRecords(punches2);
    door4 = &lineM.add(std::make_unique<simulator::AccessTerminal>(4));
    for (const auto& record : doors4) door4->store(record);
    lineL.start();
    lineM.start();
  }
  void TearDown() override {
    lineL.stop();
    lineM.stop();
  }

  std::string config() const {
    return folder.config(server.connectionText(),
                         {{"L", lineL.path(), {"attend:1:after-commit", "door:3"}, 19200},
                          {"M", lineM.path(), {"attend:2:after-commit", "door:4"}, 19200}});
  }
  std::vector<std::string> held(simulator::Simulator& sim, simulator::AttendTerminal* clock,
                                const std::string& line, int machine) {
    return sim.withState([&] { return testing::attendRows(line, machine, clock->records()); });
  }

  testing::CollectFolder folder{"pg-restart"};
  ThrowawayServer server{folder.path() / "pg"};
  std::vector<simulator::Bytes> punches1, punches2, doors3, doors4;
  simulator::Simulator lineL{simulator::SimulatorOptions{.baudRate = 19200, .paced = true}};
  simulator::Simulator lineM{simulator::SimulatorOptions{.baudRate = 19200, .paced = true}};
  simulator::AttendTerminal* clock1 = nullptr;
  simulator::AttendTerminal* clock2 = nullptr;
  simulator::AccessTerminal* door3 = nullptr;
  simulator::AccessTerminal* door4 = nullptr;
};

TEST_F(PgRestartTest, ServerStoppedMidPassFailsThePassAndTheNextPassStoresEveryRecordOnce) {
  auto collector = testing::startSolvard(folder, "collect", {"--config", config(), "--json"});
  // Clock 1 is stored and cleared, door 3 is under way and clock 2 streams its records.
  ASSERT_TRUE(testing::waitUntil([&] {
    return lineL.withState([&] { return door3->state().acknowledged.size(); }) >= 5;
  })) << collector->errors();
  ASSERT_TRUE(server.stop());
  EXPECT_EQ(collector->exitStatus(std::chrono::seconds(60)), 3) << collector->errors();
  const auto pass = nlohmann::json::parse(collector->output(), nullptr, false);
  ASSERT_TRUE(pass.is_object()) << collector->output() << collector->errors();
  EXPECT_EQ(pass["ok"], false);
  EXPECT_EQ(pass["error"]["code"], "terminals_failed") << pass.dump();
  EXPECT_EQ(pass["error"]["message"], "some terminals were not collected") << pass.dump();
  EXPECT_EQ(pass["error"]["detail"],
            "3 of 4: line L terminal 3, line M terminal 2, line M terminal 4")
      << pass.dump();
  // Each terminal that failed did so on its writer, which names the server's words: the
  // connection lost, refused, or the server shutting down. A shutdown that comes while the ODBC
  // driver sets its per-statement savepoint is reported by the driver as that savepoint failing.
  for (const auto& terminal : pass["result"]["terminals"]) {
    if (terminal["error"].is_null()) continue;
    EXPECT_EQ(terminal["error"]["code"], "sink_refused") << terminal.dump();
    EXPECT_EQ(terminal["error"]["message"], "the host did not take a record") << terminal.dump();
    EXPECT_TRUE(std::regex_search(
        terminal["error"]["detail"].get<std::string>(),
        std::regex("connection|shutting down|SAVEPOINT failed", std::regex::icase)))
        << terminal.dump();
  }

  std::string problem;
  ASSERT_TRUE(server.start(problem)) << problem;
  const std::string database = server.connectionText();
  // Clock 1 was done before the stop; clock 2's transaction never committed, so it still holds
  // every record and was not cleared.
  EXPECT_EQ(testing::storedRows(database, "attendance_records"),
            testing::everyRow(testing::attendRows("L", 1, punches1)));
  EXPECT_EQ(held(lineL, clock1, "L", 1), std::vector<std::string>{});
  EXPECT_EQ(held(lineM, clock2, "M", 2), testing::attendRows("M", 2, punches2));
  EXPECT_EQ(lineM.withState([&] { return clock2->state().recordsCleared; }), 0);
  // Door 3 had its record refused when the server went away; door 4, asked with no database, had
  // its first. Each refused record is kept and still held (the door was not prompted again); a
  // commit the server made but whose answer was lost leaves it stored too.
  const std::vector<std::string> storedAccess = testing::storedRows(database, "access_records");
  const testing::DoorHolds holds3 = testing::doorHolds(lineL, *door3, "L", 3);
  const testing::DoorHolds holds4 = testing::doorHolds(lineM, *door4, "M", 4);
  ASSERT_TRUE(holds3.inHand.has_value());
  EXPECT_EQ(holds4.rows, testing::everyRow(testing::accessRows("M", 4, doors4)));
  EXPECT_LE(lineM.withState([&] { return door4->state().prompts; }), 1);
  std::vector<std::string> inHand = {*holds3.inHand};
  if (holds4.inHand) inHand.push_back(*holds4.inHand);
  std::vector<std::string> keptRows;
  for (const std::string& line : testing::keptRecordLines(folder)) {
    keptRows.push_back(testing::keptRow(line, line.ends_with(" " + lineL.path()) ? "L" : "M"));
  }
  EXPECT_EQ(testing::sorted(keptRows), testing::sorted(inHand));
  const std::vector<std::string> started = testing::everyRowOf(
      {testing::accessRows("L", 3, doors3), testing::accessRows("M", 4, doors4)});
  const std::vector<std::string> both =
      testing::joined(storedAccess, testing::joined(holds3.rows, holds4.rows));
  EXPECT_EQ(testing::without(started, both), std::vector<std::string>{}) << "lost";
  EXPECT_EQ(testing::without(testing::without(both, started), testing::sorted(inHand)),
            std::vector<std::string>{})
      << "stored and held, other than a record in hand";
  EXPECT_GE(storedAccess.size(), 5u);

  nlohmann::json again;
  const CommandRun got = folder.collect(config(), again);
  EXPECT_EQ(got.status, 0) << got.out << got.err;
  EXPECT_EQ(testing::terminalsOf(again),
            "L/attend/1:0 L/door/3:" + std::to_string(holds3.rows.size() - 1) +
                " M/attend/2:" + std::to_string(kClock2Records) +
                " M/door/4:" + std::to_string(holds4.rows.size() - (holds4.inHand ? 1 : 0)) + " ");
  EXPECT_EQ(testing::storedRows(database, "attendance_records"),
            testing::everyRowOf(
                {testing::attendRows("L", 1, punches1), testing::attendRows("M", 2, punches2)}));
  EXPECT_EQ(testing::storedRows(database, "access_records"),
            testing::everyRowOf(
                {testing::accessRows("L", 3, doors3), testing::accessRows("M", 4, doors4)}));
  EXPECT_EQ(held(lineM, clock2, "M", 2), std::vector<std::string>{});
  EXPECT_EQ(testing::doorHolds(lineL, *door3, "L", 3).rows, std::vector<std::string>{});
  EXPECT_EQ(testing::doorHolds(lineM, *door4, "M", 4).rows, std::vector<std::string>{});
  EXPECT_EQ(testing::keptRecordLines(folder), std::vector<std::string>{});
}

}  // namespace
}  // namespace solvard::tool
