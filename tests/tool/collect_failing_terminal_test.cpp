// A terminal that answers wrongly fails alone: the others' records are stored, the pass names it
// with its error code and ends with 1, and a failed attendance terminal has nothing stored and
// keeps every record (it is not told to clear them).
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>

#include "collect_fixture.hpp"
#include "collect_records.hpp"
#include "db/database_fixture.hpp"
#include "simulator/simulator.hpp"

namespace solvard::tool {
namespace {

using db::testing::Engine;

// Terminal 5 on line A goes wrong as `spoil` makes it.
struct Failure {
  const char* name;
  const char* terminal;  // terminal 5 in the config
  std::function<void(simulator::Terminal&)> spoil;
  const char* terminals;  // the pass's terminals, as terminalsOf gives them
};

// Test names and failure messages show the case by its name.
void PrintTo(const Failure& c, std::ostream* out) { *out << c.name; }

const Failure kFailures[] = {
    {"AttendanceReplyFromAnotherMachine", "attend:5:after-commit",
     [](simulator::Terminal& clock) {
       clock.inject(simulator::Fault::wrongMachine(6), simulator::FaultSchedule::every());
     },
     "A/attend/1:3 A/door/3:2 A/attend/5:0!wrong_machine B/attend/2:4 B/door/4:1 "},
    {"AttendanceRecordFromAnotherMachine", "attend:5:after-commit",
     [](simulator::Terminal& clock) {
       static_cast<simulator::AttendTerminal&>(clock).injectDownloadFault(
           simulator::DownloadFault::otherMachine(3, 6));
     },
     "A/attend/1:3 A/door/3:2 A/attend/5:0!wrong_machine B/attend/2:4 B/door/4:1 "},
    {"AttendanceDownloadCutShort", "attend:5:after-commit",
     [](simulator::Terminal& clock) {
       static_cast<simulator::AttendTerminal&>(clock).injectDownloadFault(
           simulator::DownloadFault::shortRecord(4, 3));
     },
     "A/attend/1:3 A/door/3:2 A/attend/5:0!reply_incomplete B/attend/2:4 B/door/4:1 "},
    {"DoorStatusFromAnotherMachine", "door:5",
     [](simulator::Terminal& door) {
       door.inject(simulator::Fault::wrongMachine(6), simulator::FaultSchedule::every());
     },
     "A/attend/1:3 A/door/3:2 A/door/5:0!wrong_machine B/attend/2:4 B/door/4:1 "},
    {"DoorRecordCutShort", "door:5",
     [](simulator::Terminal& door) {
       // The status and eight of the record's ten bytes.
       door.inject(simulator::Fault::partial(11), simulator::FaultSchedule::next());
     },
     "A/attend/1:3 A/door/3:2 A/door/5:0!reply_incomplete B/attend/2:4 B/door/4:1 "},
};

class CollectFailingTerminalTest : public ::testing::TestWithParam<std::tuple<Engine, Failure>> {
 protected:
  void SetUp() override {
    if (!database.create()) GTEST_SKIP() << "SOLVARD_PG_CONNECT is not set";
    const Failure& failure = std::get<1>(GetParam());
    lineA.add(std::make_unique<simulator::AttendTerminal>(1)).storeRecords(punches1);
    auto& door3 = lineA.add(std::make_unique<simulator::AccessTerminal>(3));
    for (const auto& record : doorRecords3) door3.store(record);
    // Machine 5 is a clock or a door as the case says; both hold records.
    const bool clockFails = std::string(failure.terminal).starts_with("attend");
    if (clockFails) {
      clock5 = &lineA.add(std::make_unique<simulator::AttendTerminal>(5));
      clock5->storeRecords(punches5);
    } else {
      door5 = &lineA.add(std::make_unique<simulator::AccessTerminal>(5));
      for (const auto& record : doorRecords5) door5->store(record);
    }
    failure.spoil(*lineA.terminal(5));
    lineB.add(std::make_unique<simulator::AttendTerminal>(2)).storeRecords(punches2);
    lineB.add(std::make_unique<simulator::AccessTerminal>(4)).store(doorRecords4.front());
    lineA.start();
    lineB.start();
  }
  void TearDown() override {
    lineA.stop();
    lineB.stop();
  }

  db::testing::Database database{std::get<0>(GetParam())};
  testing::CollectFolder folder{"collect-failing"};
  const std::vector<simulator::Bytes> punches1 = simulator::sampleRecords(3, 1);
  const std::vector<simulator::Bytes> punches2 = simulator::sampleRecords(4, 2);
  const std::vector<simulator::Bytes> punches5 = simulator::sampleRecords(6, 5);
  const std::vector<simulator::Bytes> doorRecords3 = {
      simulator::accessRecord("0000012345", 1, 6, 29, 8, 5),
      simulator::accessRecord("9876543210", 1, 6, 30, 17, 45)};
  const std::vector<simulator::Bytes> doorRecords4 = {
      simulator::accessRecord("0000000042", 3, 1, 2, 6, 7)};
  const std::vector<simulator::Bytes> doorRecords5 = {
      simulator::accessRecord("5555555555", 4, 2, 3, 9, 10),
      simulator::accessRecord("5555555556", 4, 2, 3, 9, 11)};
  simulator::Simulator lineA, lineB;
  simulator::AttendTerminal* clock5 = nullptr;
  simulator::AccessTerminal* door5 = nullptr;
};

TEST_P(CollectFailingTerminalTest, FailsAloneAndTheOthersAreStored) {
  const Failure& failure = std::get<1>(GetParam());
  // Every clock is cleared once its records are stored, so one that is not shows it was not
  // told to forget what the database does not hold.
  const std::string config = folder.config(
      database.text(), {{"A", lineA.path(), {"attend:1:after-commit", "door:3", failure.terminal}},
                        {"B", lineB.path(), {"attend:2:after-commit", "door:4"}}});
  nlohmann::json pass;
  const CommandRun got = folder.collect(config, pass);
  EXPECT_EQ(got.status, 1) << got.out << got.err;
  EXPECT_EQ(testing::terminalsOf(pass), failure.terminals) << got.out;
  EXPECT_EQ(pass["error"]["code"], "terminals_failed");
  EXPECT_EQ(pass["error"]["detail"], "1 of 5: line A terminal 5");

  EXPECT_EQ(testing::storedRows(database.text(), "attendance_records"),
            testing::everyRowOf(
                {testing::attendRows("A", 1, punches1), testing::attendRows("B", 2, punches2)}));
  EXPECT_EQ(testing::storedRows(database.text(), "access_records"),
            testing::everyRowOf({testing::accessRows("A", 3, doorRecords3),
                                 testing::accessRows("B", 4, doorRecords4)}));

  lineA.stop();
  lineB.stop();
  if (clock5 != nullptr) {
    EXPECT_EQ(clock5->records(), punches5);
    EXPECT_EQ(clock5->state().recordsCleared, 0);
    EXPECT_EQ(static_cast<simulator::AttendTerminal*>(lineA.terminal(1))->state().recordsCleared,
              1);
  } else {
    // The door's first record was cut or refused, so no prompt acknowledged it: it holds them
    // all.
    EXPECT_EQ(
        std::vector<simulator::Bytes>(door5->state().records.begin(), door5->state().records.end()),
        doorRecords5);
    EXPECT_TRUE(door5->state().acknowledged.empty());
  }
}

INSTANTIATE_TEST_SUITE_P(Faults, CollectFailingTerminalTest,
                         ::testing::Combine(testing::bothEngines(), ::testing::ValuesIn(kFailures)),
                         testing::EngineAndCaseName());

}  // namespace
}  // namespace solvard::tool
