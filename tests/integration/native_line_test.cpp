// The native line against the terminal simulator on pseudo-terminals, in real time: several
// lines in one process, and every cause of failure a person must be told.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "db/odbc_connection.hpp"
#include "simulator/access_terminal.hpp"
#include "simulator/attend_terminal.hpp"
#include "simulator/simulator.hpp"
#include "solvard/solvard.hpp"
#include "support/pty_pair.hpp"

namespace solvard::integration {
namespace {

using simulator::Simulator;
using solvard::testing::PtyPair;

MachineNumber machine(int number) { return MachineNumber::make(number).value(); }

Line lineOn(const std::string& device, uint32_t baud = 9600) {
  return Line::make(Device::path(device), LineSettings{baud}).value();
}

// The six card digits and the date of a simulated record, as a download must give them back.
std::string cardOf(const std::vector<uint8_t>& record) {
  return simulator::packedDigits(std::span(record).first(3));
}

std::string temporaryPath(const std::string& name) {
  return (std::filesystem::temp_directory_path() /
          (name + "-" + std::to_string(::getpid()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name()))
      .string();
}

TEST(NativeLines, TwoLinesOnTwoThreadsDownloadAtTheSameTimeWithoutInterference) {
  // Paced at the line's rate, so that the two downloads overlap for most of their time.
  Simulator first({.paced = true});
  Simulator second({.paced = true});
  auto& clockA = first.add(std::make_unique<simulator::AttendTerminal>(1));
  auto& clockB = second.add(std::make_unique<simulator::AttendTerminal>(1));
  clockA.storeRecords(simulator::sampleRecords(40, 7));
  clockB.storeRecords(simulator::sampleRecords(60, 8));
  first.start();
  second.start();

  struct Run {
    std::vector<AttendanceRecord> records;
    std::vector<std::string> log;
    std::optional<Result<AttendanceSummary>> result;
    int progressCalls = 0;
  };
  Run a, b;
  const auto download = [](const std::string& device, Run& run) {
    LineHooks hooks;
    hooks.log = [&run](const std::string& line) { run.log.push_back(line); };
    hooks.progress = [&run](int32_t, int32_t) { ++run.progressCalls; };
    Line line = Line::make(Device::path(device), {}, hooks).value();
    AttendTerminal terminal(line, machine(1));
    run.result = terminal.download([&run](const AttendanceRecord& r) { run.records.push_back(r); });
  };
  std::thread threadA(download, first.path(), std::ref(a));
  std::thread threadB(download, second.path(), std::ref(b));
  threadA.join();
  threadB.join();

  for (auto [run, stored] : {std::pair{&a, simulator::sampleRecords(40, 7)},
                             std::pair{&b, simulator::sampleRecords(60, 8)}}) {
    ASSERT_TRUE(run->result->ok()) << run->result->error().message();
    EXPECT_EQ(run->result->value().records, static_cast<int32_t>(stored.size()));
    ASSERT_EQ(run->records.size(), stored.size());
    for (std::size_t i = 0; i < stored.size(); ++i) {
      EXPECT_EQ(run->records[i].card, cardOf(stored[i])) << "record " << i + 1;
    }
    EXPECT_TRUE(run->log.empty());
    // (0, N) once, then once per record: each line's progress went to its own host.
    EXPECT_EQ(run->progressCalls, static_cast<int>(stored.size()) + 1);
  }
}

TEST(NativeLines, DoorCommandsAndDownloadOnASimulatedTerminal) {
  Simulator sim;
  auto& door = sim.add(std::make_unique<simulator::AccessTerminal>(5));
  door.store(simulator::accessRecord("0000012345", 1, 6, 29, 8, 5));
  door.store(simulator::accessRecord("9876543210", 1, 6, 30, 17, 45));
  sim.start();
  Line line = lineOn(sim.path());
  DoorTerminal terminal(line, machine(5));

  const auto card = CardNumber::make(12345).value();
  const auto permit =
      CardPermit::make(Date::make(2001, 6, 29).value(), Date::make(2002, 12, 31).value(),
                       TimeOfDay::make(7, 30).value(), TimeOfDay::make(18, 0).value(),
                       WeekdayNumber::make(1).value(), WeekdayNumber::make(5).value())
          .value();
  ASSERT_TRUE(terminal.allowCard(card, permit));
  ASSERT_TRUE(terminal.openDoor());
  using namespace std::chrono;
  ASSERT_TRUE(terminal.setClock(local_days{2001y / June / 29} + 13h + 5min + 9s));
  std::vector<AccessRecord> records;
  const auto summary = terminal.download([&](const AccessRecord& r) {
    records.push_back(r);
    return true;
  });
  ASSERT_TRUE(summary) << summary.error().message();
  EXPECT_EQ(summary->records, 2);

  const auto state = sim.withState([&] { return door.state(); });
  EXPECT_EQ(state.openList.at("0000012345"),
            (simulator::AccessTerminal::Window{"01-06-29", "02-12-31", "07:30", "18:00", 1, 5}));
  EXPECT_EQ(state.lockOpened, 1);
  EXPECT_EQ(state.date, "01-06-29");
  EXPECT_EQ(state.weekday, 5);  // 29 June 2001 was a Friday: ISO 5
  EXPECT_EQ(state.time, "13:05:09");
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].card, "0000012345");
  EXPECT_EQ(records[0].date, "2001-06-29");
  EXPECT_EQ(records[0].time, "08:05");
  EXPECT_EQ(records[1].card, "9876543210");
  EXPECT_TRUE(state.records.empty());
}

struct PortCause {
  const char* name;
  std::function<std::string()> device;  // the device to open, prepared
  Errc code;
  std::string reason;  // the system's words after "<device>: "
};

TEST(NativeLines, APortThatCannotBeOpenedNamesTheDeviceAndTheReason) {
  const std::string regular = temporaryPath("solvard-regular");
  std::FILE* f = std::fopen(regular.c_str(), "w");
  ASSERT_NE(f, nullptr);
  std::fclose(f);
  const std::string folder = std::filesystem::temp_directory_path().string();
  const std::vector<PortCause> causes = {
      {"missing", [] { return std::string("/nonexistent/ttyUSB7"); }, Errc::port_not_found,
       "No such file or directory"},
      {"regular file", [&] { return regular; }, Errc::port_not_a_terminal, "not a serial device"},
      {"folder", [&] { return folder; }, Errc::port_not_a_terminal, "Is a directory"},
      // Refused even to root: the kernel gives this file no write access.
      {"not permitted", [] { return std::string("/sys/kernel/notes"); },
       Errc::port_permission_denied, "Permission denied"},
  };
  for (const PortCause& cause : causes) {
    SCOPED_TRACE(cause.name);
    const std::string device = cause.device();
    Line line = lineOn(device);
    const auto opened = DoorTerminal(line, machine(1)).openDoor();
    ASSERT_FALSE(opened);
    EXPECT_EQ(opened.error().code(), cause.code);
    EXPECT_EQ(opened.error().detail(), device + ": " + cause.reason);
    const auto read = AttendTerminal(line, machine(1)).clearRecords();
    ASSERT_FALSE(read);
    EXPECT_EQ(read.error().code(), cause.code);
  }
  std::filesystem::remove(regular);
}

TEST(NativeLines, APortAnotherProgramHoldsIsInUse) {
  PtyPair pty;
  const int holder = ::open(pty.path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
  Line line = lineOn(pty.path());
  const auto opened = DoorTerminal(line, machine(1)).openDoor();
  ::close(holder);
  ASSERT_FALSE(opened);
  EXPECT_EQ(opened.error().code(), Errc::port_in_use);
  EXPECT_EQ(opened.error().message(), "another program is using the serial device: " + pty.path() +
                                          ": in use by another program");
}

TEST(NativeLines, ASilentTerminalSaysHowManyBytesCameAfterWhichFrame) {
  PtyPair pty;  // nobody answers on the far end
  Line line = lineOn(pty.path());
  const auto opened = DoorTerminal(line, machine(3)).openDoor();
  ASSERT_FALSE(opened);
  EXPECT_EQ(opened.error().code(), Errc::no_reply);
  EXPECT_EQ(opened.error().message(),
            "the terminal did not answer: terminal 3: 0 of 2 bytes of the acknowledgement came "
            "after 03 11");
}

TEST(NativeLines, ATerminalThatStopsMidRecordIsAShortRecordAndNothingIsHandedOver) {
  Simulator sim;
  auto& clock = sim.add(std::make_unique<simulator::AttendTerminal>(2));
  clock.storeRecords(simulator::sampleRecords(5));
  clock.injectDownloadFault(simulator::DownloadFault::shortRecord(3, 4));
  sim.start();
  Line line = lineOn(sim.path());
  int handed = 0;
  const auto result =
      AttendTerminal(line, machine(2)).download([&](const AttendanceRecord&) { ++handed; });
  ASSERT_FALSE(result);
  EXPECT_EQ(result.error().code(), Errc::reply_incomplete);
  EXPECT_EQ(result.error().detail(), "terminal 2: record 3 of 5 did not come whole");
  EXPECT_EQ(handed, 0);
}

TEST(NativeLines, DatabaseFailuresNameTheDatabasesOwnWords) {
  Simulator sim;
  auto& clock = sim.add(std::make_unique<simulator::AttendTerminal>(1));
  clock.storeRecords(simulator::sampleRecords(3));
  sim.start();
  Line line = lineOn(sim.path());
  AttendTerminal terminal(line, machine(1));

  // A file in a folder that does not exist cannot be opened: nothing is asked of the terminal.
  const auto closed = terminal.downloadToDatabase("/nonexistent/folder/records.db");
  ASSERT_FALSE(closed);
  EXPECT_EQ(closed.error().code(), Errc::database_unavailable);
  EXPECT_NE(closed.error().detail().find("the database cannot be opened"), std::string::npos)
      << closed.error().detail();
  EXPECT_TRUE(sim.frames().empty());

  // A table that refuses every row refuses the first insert: rolled back, the SQLSTATE shown.
  const std::string file = temporaryPath("solvard-refusing") + ".db";
  {
    auto setup = db::makeOdbcConnection();
    ASSERT_EQ(setup->Open(file), db::Outcome::kOk);
    ASSERT_EQ(setup->Execute("CREATE TABLE WorkCardSource (MachineNo TEXT, CardNo TEXT "
                             "CHECK (CardNo = ''), CardDate TEXT, CardTime TEXT)"),
              db::Outcome::kOk);
    (void)setup->Close();
  }
  const auto refused = terminal.downloadToDatabase(file);
  std::filesystem::remove(file);
  ASSERT_FALSE(refused);
  EXPECT_EQ(refused.error().code(), Errc::database_refused);
  EXPECT_EQ(refused.error().detail().rfind("record 1 of 3: ", 0), 0u) << refused.error().detail();
  EXPECT_NE(refused.error().detail().find("CHECK constraint failed"), std::string::npos)
      << refused.error().detail();
}

// A host that names a new SQLite file gets its records there, as the command's user does: the
// download makes the tables it writes to. A door's table of the host's name likewise.
TEST(NativeLines, ANewSqliteFileGetsItsTablesAndEveryRecord) {
  Simulator sim;
  auto& clock = sim.add(std::make_unique<simulator::AttendTerminal>(1));
  auto& door = sim.add(std::make_unique<simulator::AccessTerminal>(3));
  clock.storeRecords(simulator::sampleRecords(4));
  door.store(simulator::accessRecord("0000123456", 26, 12, 10, 8, 30));
  door.store(simulator::accessRecord("0000654321", 26, 12, 10, 8, 31));
  sim.start();
  Line line = lineOn(sim.path());
  const std::string file = temporaryPath("solvard-new") + ".db";
  std::filesystem::remove(file);

  const auto clocked = AttendTerminal(line, machine(1)).downloadToDatabase(file);
  ASSERT_TRUE(clocked) << clocked.error().message();
  EXPECT_EQ(clocked->records, 4);
  const auto opened = DoorTerminal(line, machine(3)).downloadToDatabase(file, "\"Access Records\"");
  ASSERT_TRUE(opened) << opened.error().message();
  EXPECT_EQ(opened->records, 2);

  auto reader = db::makeOdbcConnection();
  ASSERT_EQ(reader->Open(file), db::Outcome::kOk);
  db::Rows rows;
  ASSERT_EQ(reader->queryRows("SELECT (SELECT COUNT(*) FROM WorkCardSource), (SELECT COUNT(*) "
                              "FROM WorkCardReadTime), (SELECT COUNT(*) FROM \"Access "
                              "Records\")",
                              rows),
            db::Outcome::kOk);
  (void)reader->Close();
  std::filesystem::remove(file);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0], (db::Row{"4", "1", "2"}));  // WorkCardReadTime: the last record read
}

TEST(NativeLines, AnotherMachineAnsweringIsNamed) {
  Simulator sim;
  auto& clock = sim.add(std::make_unique<simulator::AttendTerminal>(4));
  clock.storeRecords(simulator::sampleRecords(3));
  clock.injectDownloadFault(simulator::DownloadFault::otherMachine(2, 9));
  sim.start();
  Line line = lineOn(sim.path());
  const auto result = AttendTerminal(line, machine(4)).download([](const AttendanceRecord&) {});
  ASSERT_FALSE(result);
  EXPECT_EQ(result.error().code(), Errc::wrong_machine);
  EXPECT_EQ(result.error().detail().rfind("terminal 4: the record 2 of 3 came from machine 9", 0),
            0u)
      << result.error().detail();
}

}  // namespace
}  // namespace solvard::integration
