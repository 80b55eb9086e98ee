// SIGINT and SIGTERM sent to a real `solvard` process in the middle of a download, as an operator
// pressing Ctrl+C or a service manager stopping it does. The record in hand is finished and the
// process ends saying it was stopped: a door download has written every record the door forgot
// and the one in hand, which the door still holds until the next prompt; a clock's download
// keeps nothing of an unfinished transaction and the clock keeps every record. The next run,
// with no signal, stores every record exactly once.
#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <ostream>
#include <regex>

#include "collect_fixture.hpp"
#include "collect_records.hpp"
#include "process_faults.hpp"
#include "simulator/attend_terminal.hpp"
#include "simulator/simulator.hpp"

namespace solvard::tool {
namespace {

namespace fs = std::filesystem;

// The signal, and its name for the test's name.
struct Stop {
  int signal;
  const char* name;
};

void PrintTo(const Stop& stop, std::ostream* out) { *out << stop.name; }

constexpr int kDoorRecords = 300;
constexpr int kClockRecords = 400;  // about 2 s of stream at 19200 baud

class ProcessSignalTest : public ::testing::TestWithParam<Stop> {
 protected:
  void SetUp() override {
    started = testing::distinctDoorRecords(kDoorRecords, 11);
    punches = simulator::sampleRecords(kClockRecords, 5);
    door = &doorLine.add(std::make_unique<simulator::AccessTerminal>(3));
    for (const auto& record : started) door->store(record);
    clock = &clockLine.add(std::make_unique<simulator::AttendTerminal>(1));
    clock->storeRecords(punches);
    doorLine.start();
    clockLine.start();
  }
  void TearDown() override {
    doorLine.stop();
    clockLine.stop();
  }

  std::size_t acknowledged() {
    return doorLine.withState([&] { return door->state().acknowledged.size(); });
  }
  int downloadsAsked() {
    return clockLine.withState([&] { return clock->state().downloads; });
  }

  // Runs `solvard COMMAND ARGS...` with the test's state folder and waits for it to end.
  CommandRun runToEnd(const std::string& command, std::vector<std::string> args) const {
    args.insert(args.begin(), command);
    return runCommand(SOLVARD_PROGRAM, args, folder.env());
  }

  std::vector<std::string> doorDownloadWords() const {
    return {"download", "-m",      "3",  "-p", doorLine.path(), "-b", "19200",
            "--table",  "Records", "-d", file};
  }
  std::vector<std::string> attendDownloadWords() const {
    return {"download", "-m", "1", "-p", clockLine.path(), "-b", "19200", "-d", file};
  }
  std::string collectConfig() const {
    return folder.config(file, {{"D", doorLine.path(), {"door:3"}, 19200},
                                {"C", clockLine.path(), {"attend:1:after-commit"}, 19200}});
  }

  // Every door record is stored or still held; the one in hand is both.
  void expectDoorRecordsStoredOrHeld(const std::vector<std::string>& stored,
                                     const testing::DoorHolds& holds, const std::string& line) {
    ASSERT_TRUE(holds.inHand.has_value()) << "the door was prompted again after the stop";
    EXPECT_TRUE(std::binary_search(stored.begin(), stored.end(), *holds.inHand))
        << "the record in hand was not written: " << *holds.inHand;
    EXPECT_EQ(
        testing::joined(stored, holds.rows),
        testing::joined(testing::everyRow(testing::accessRows(line, 3, started)), {*holds.inHand}));
    EXPECT_GE(stored.size(), 5u);
    EXPECT_GT(holds.rows.size(), 1u) << "the download was not stopped before its end";
  }

  testing::CollectFolder folder{"signal"};
  const std::string file = (folder.path() / "records.db").string();
  std::vector<simulator::Bytes> started, punches;
  simulator::Simulator doorLine{simulator::SimulatorOptions{.baudRate = 19200, .paced = true}};
  simulator::Simulator clockLine{simulator::SimulatorOptions{.baudRate = 19200, .paced = true}};
  simulator::AccessTerminal* door = nullptr;
  simulator::AttendTerminal* clock = nullptr;
};

TEST_P(ProcessSignalTest, DoorDownloadWritesTheRecordInHandLosesNoneAndTheNextRunStoresTheRest) {
  auto process = testing::startSolvard(folder, "door", doorDownloadWords());
  ASSERT_TRUE(testing::waitUntil([&] { return acknowledged() >= 5; })) << process->errors();
  ::kill(process->pid(), GetParam().signal);
  EXPECT_EQ(process->exitStatus(std::chrono::seconds(60)), 1) << process->errors();
  EXPECT_EQ(process->output(), "");
  // The library's log line, then the command's sentence, each with how many records it wrote.
  const std::string errors = process->errors();
  std::smatch written;
  EXPECT_TRUE(std::regex_match(
      errors, written,
      std::regex("Solvard: GetRegisterData, terminal 3: stopped by the host after ([0-9]+) "
                 "records written; the terminal was not prompted again and may hold more\n"
                 "solvard door download: the download was stopped: \\1 records kept; "
                 "GetRegisterData, terminal 3: stopped by the host after \\1 records written; "
                 "the terminal was not prompted again and may hold more \\(the record in hand "
                 "was written; the terminal may still hold more\\)\n")))
      << errors;
  const std::vector<std::string> stored = testing::hostAccessRows(file, "Records", 3);
  if (written.size() == 2) {
    EXPECT_EQ(written[1], std::to_string(stored.size()));
  }
  const testing::DoorHolds holds = testing::doorHolds(doorLine, *door, "H", 3);
  expectDoorRecordsStoredOrHeld(stored, holds, "H");
  EXPECT_EQ(testing::keptRecordLines(folder), std::vector<std::string>{});

  // The first prompt of the next run makes the door forget the record in hand: it is not
  // written again.
  const CommandRun again = runToEnd("door", doorDownloadWords());
  EXPECT_EQ(again.status, 0) << again.err;
  EXPECT_TRUE(std::regex_match(again.out,
                               std::regex("terminal 3: " + std::to_string(holds.rows.size() - 1) +
                                          " records written to Records in [0-9]+\\.[0-9] s\n")))
      << again.out;
  EXPECT_EQ(testing::hostAccessRows(file, "Records", 3),
            testing::everyRow(testing::accessRows("H", 3, started)));
  EXPECT_EQ(testing::doorHolds(doorLine, *door, "H", 3).rows, std::vector<std::string>{});
}

TEST_P(ProcessSignalTest, AttendDownloadKeepsNothingTheClockKeepsAllAndTheNextRunStoresAll) {
  auto process = testing::startSolvard(folder, "attend", attendDownloadWords());
  // Stopped while the clock streams: the stream lasts about two seconds.
  ASSERT_TRUE(testing::waitUntil([&] { return downloadsAsked() > 0; })) << process->errors();
  ::kill(process->pid(), GetParam().signal);
  EXPECT_EQ(process->exitStatus(std::chrono::seconds(60)), 1) << process->errors();
  EXPECT_EQ(process->output(), "");
  const std::string errors = process->errors();
  const std::string total = std::to_string(kClockRecords);
  std::smatch taken;
  EXPECT_TRUE(std::regex_match(
      errors, taken,
      std::regex("Solvard: GetMacData\\(1\\): stopped by the host after ([0-9]+) of " + total +
                 " records; nothing of this download was kept, the terminal still holds them\n"
                 "solvard attend download: the download was stopped: GetMacData\\(1\\): stopped "
                 "by the host after \\1 of " +
                 total +
                 " records; nothing of this download was "
                 "kept, the terminal still holds them \\(nothing of it was kept; the terminal "
                 "still holds its " +
                 total + " records\\)\n")))
      << errors;
  if (taken.size() == 2) {
    EXPECT_LT(std::stoi(taken[1]), kClockRecords);
  }
  EXPECT_EQ(testing::hostAttendanceRows(file), std::vector<std::string>{});
  EXPECT_EQ(clockLine.withState([&] { return testing::attendRows("H", 1, clock->records()); }),
            testing::attendRows("H", 1, punches));

  // The clock goes on sending the stream no one reads; the next download begins once it has
  // ended (see AttendDownloadRightAfterAStoppedOneStoresEveryRecord).
  testing::waitForLastReply(clockLine, 19200);
  const CommandRun again = runToEnd("attend", attendDownloadWords());
  EXPECT_EQ(again.status, 0) << again.err;
  EXPECT_TRUE(std::regex_search(
      again.out, std::regex("^terminal 1: " + total + " records downloaded into " + file + " in ")))
      << again.out;
  EXPECT_EQ(testing::hostAttendanceRows(file),
            testing::everyRow(testing::attendRows("H", 1, punches)));
}

// The service with the same two lines, both mid-download in its first pass: each line finishes
// the record in hand and the service ends well.
TEST_P(ProcessSignalTest, ServeFinishesTheDoorsRecordInHandKeepsNoClockRecordAndEndsWell) {
  const std::string config = collectConfig();
  std::ofstream(config, std::ios::app) << "[serve]\nlisten = \"127.0.0.1:0\"\n";
  auto service = testing::startSolvard(folder, "serve", {"--config", config});
  ASSERT_TRUE(testing::waitUntil([&] { return acknowledged() >= 5 && downloadsAsked() > 0; }))
      << service->errors();
  ::kill(service->pid(), GetParam().signal);
  EXPECT_EQ(service->exitStatus(std::chrono::seconds(60)), 0) << service->errors();
  EXPECT_TRUE(std::regex_search(service->errors(),
                                std::regex("solvard serve: listening on port [1-9][0-9]*\n")))
      << service->errors();
  const std::vector<std::string> storedAccess = testing::storedRows(file, "access_records");
  const testing::DoorHolds holds = testing::doorHolds(doorLine, *door, "D", 3);
  expectDoorRecordsStoredOrHeld(storedAccess, holds, "D");
  EXPECT_EQ(testing::storedRows(file, "attendance_records"), std::vector<std::string>{});
  EXPECT_EQ(clockLine.withState([&] { return testing::attendRows("C", 1, clock->records()); }),
            testing::attendRows("C", 1, punches));
  EXPECT_EQ(clockLine.withState([&] { return clock->state().recordsCleared; }), 0);
}

// The collector with a door on one line and a clock on another, both mid-download.
TEST_P(ProcessSignalTest, CollectFinishesTheDoorsRecordInHandKeepsNoClockRecordAndStoresAllNext) {
  const std::string config = collectConfig();
  auto collector = testing::startSolvard(folder, "collect", {"--config", config, "--json"});
  ASSERT_TRUE(testing::waitUntil([&] { return acknowledged() >= 5 && downloadsAsked() > 0; }))
      << collector->errors();
  ::kill(collector->pid(), GetParam().signal);
  // A pass told to stop is no failure of a terminal: the collector ends well, and each terminal
  // it stopped says so.
  EXPECT_EQ(collector->exitStatus(std::chrono::seconds(60)), 0) << collector->errors();
  const auto pass = nlohmann::json::parse(collector->output(), nullptr, false);
  ASSERT_TRUE(pass.is_object()) << collector->output();
  EXPECT_EQ(pass["error"], nullptr) << pass.dump();
  ASSERT_EQ(pass["result"]["terminals"].size(), 2u) << pass.dump();
  for (const auto& terminal : pass["result"]["terminals"]) {
    EXPECT_EQ(terminal["error"]["code"], "stopped") << terminal.dump();
    EXPECT_EQ(terminal["error"]["message"], "the download was stopped") << terminal.dump();
  }
  const auto& doorOutcome = pass["result"]["terminals"][0];
  const auto& clockOutcome = pass["result"]["terminals"][1];
  EXPECT_EQ(clockOutcome["records"], 0) << clockOutcome.dump();
  EXPECT_EQ(clockOutcome["cleared"], false) << clockOutcome.dump();

  const std::vector<std::string> storedAccess = testing::storedRows(file, "access_records");
  const testing::DoorHolds holds = testing::doorHolds(doorLine, *door, "D", 3);
  expectDoorRecordsStoredOrHeld(storedAccess, holds, "D");
  EXPECT_EQ(doorOutcome["stored"], storedAccess.size()) << doorOutcome.dump();
  EXPECT_EQ(testing::keptRecordLines(folder), std::vector<std::string>{});
  EXPECT_EQ(testing::storedRows(file, "attendance_records"), std::vector<std::string>{});
  EXPECT_EQ(clockLine.withState([&] { return testing::attendRows("C", 1, clock->records()); }),
            testing::attendRows("C", 1, punches));
  EXPECT_EQ(clockLine.withState([&] { return clock->state().recordsCleared; }), 0);

  nlohmann::json again;
  const CommandRun got = folder.collect(config, again);
  EXPECT_EQ(got.status, 0) << got.out << got.err;
  EXPECT_EQ(testing::terminalsOf(again), "D/door/3:" + std::to_string(holds.rows.size() - 1) +
                                             " C/attend/1:" + std::to_string(kClockRecords) + " ");
  EXPECT_EQ(testing::storedRows(file, "access_records"),
            testing::everyRow(testing::accessRows("D", 3, started)));
  EXPECT_EQ(testing::storedRows(file, "attendance_records"),
            testing::everyRow(testing::attendRows("C", 1, punches)));
  EXPECT_EQ(testing::doorHolds(doorLine, *door, "D", 3).rows, std::vector<std::string>{});
  EXPECT_EQ(clockLine.withState([&] { return clock->records().size(); }), 0u);
}

// A clock whose download was stopped goes on streaming its records for as long as they take on
// the line (about two seconds here, four at 9600 baud). A download started in that time reads the
// line until it is quiet before it asks, so it does not take the stream for its reply ("another
// terminal answered: the record 1 of 4384 came from machine 131") and stores every record.
TEST(ProcessSignalFollowUpTest, AttendDownloadRightAfterAStoppedOneStoresEveryRecord) {
  testing::CollectFolder folder{"signal-follow-up"};
  const std::string file = (folder.path() / "records.db").string();
  const std::vector<simulator::Bytes> punches = simulator::sampleRecords(kClockRecords, 5);
  simulator::Simulator line{simulator::SimulatorOptions{.baudRate = 19200, .paced = true}};
  auto& clock = line.add(std::make_unique<simulator::AttendTerminal>(1));
  clock.storeRecords(punches);
  line.start();
  const std::vector<std::string> words = {"download", "-m",    "1",  "-p", line.path(),
                                          "-b",       "19200", "-d", file};
  auto stopped = testing::startSolvard(folder, "attend", words);
  ASSERT_TRUE(testing::waitUntil(
      [&] { return line.withState([&] { return clock.state().downloads; }) > 0; }));
  ::kill(stopped->pid(), SIGINT);
  ASSERT_EQ(stopped->exitStatus(std::chrono::seconds(60)), 1) << stopped->errors();

  std::vector<std::string> again = words;
  again.insert(again.begin(), "attend");
  const CommandRun got = runCommand(SOLVARD_PROGRAM, again, folder.env());
  EXPECT_EQ(got.status, 0) << got.err;
  EXPECT_TRUE(std::regex_search(
      got.out,
      std::regex("^terminal 1: " + std::to_string(kClockRecords) + " records downloaded into ")))
      << got.out;
  EXPECT_EQ(testing::hostAttendanceRows(file),
            testing::everyRow(testing::attendRows("H", 1, punches)));
  line.stop();
}

INSTANTIATE_TEST_SUITE_P(Signals, ProcessSignalTest,
                         ::testing::Values(Stop{SIGINT, "Sigint"}, Stop{SIGTERM, "Sigterm"}),
                         [](const ::testing::TestParamInfo<Stop>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
}  // namespace solvard::tool
