// An SQLite file on a filesystem that fills up in the middle of a download: a small tmpfs of the
// test's own, the rest of it taken by a filler file. The door download stops at the record the
// database refused, keeps it in the kept-records file and prompts no more; the attendance
// download is refused at its commit and keeps nothing. Either way the command says the database
// refused and why, no record is lost or half-stored, and once there is room again the next run
// stores every record exactly once.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <regex>
#include <sstream>

#include "collect_fixture.hpp"
#include "collect_records.hpp"
#include "process_faults.hpp"
#include "query_text.hpp"
#include "simulator/attend_terminal.hpp"
#include "simulator/simulator.hpp"

namespace solvard::tool {
namespace {

namespace fs = std::filesystem;

constexpr int kDoorRecords = 300;
constexpr int kClockRecords = 400;

// The last line of `text`, without its line end.
std::string lastLine(const std::string& text) {
  std::istringstream lines(text);
  std::string line, last;
  while (std::getline(lines, line)) last = line;
  return last;
}

class FullDiskTest : public ::testing::Test {
 protected:
  void SetUp() override {
    line.add(std::make_unique<simulator::AttendTerminal>(1));
    line.add(std::make_unique<simulator::AttendTerminal>(2));
    line.add(std::make_unique<simulator::AccessTerminal>(3));
    line.add(std::make_unique<simulator::AccessTerminal>(4));
    if (::geteuid() != 0) GTEST_SKIP() << "mounting a filesystem of the test's own needs root";
    fs::create_directories(disk);
    // Room for a whole download's write-ahead log (a page a door record) once the filler is gone.
    if (::mount("tmpfs", disk.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, "size=4m,mode=0700") != 0) {
      GTEST_SKIP() << "the kernel refused to mount a tmpfs at " << disk.string() << ": "
                   << std::strerror(errno);
    }
    mounted = true;
    line.start();
  }
  void TearDown() override {
    line.stop();
    if (mounted && ::umount2(disk.c_str(), MNT_DETACH) != 0)
      ADD_FAILURE() << "cannot unmount " << disk.string() << ": " << std::strerror(errno);
  }

  // Takes all the free room of the small filesystem but `leave` bytes.
  void fill(std::size_t leave) {
    struct statvfs room {};
    ASSERT_EQ(::statvfs(disk.c_str(), &room), 0) << std::strerror(errno);
    const std::size_t free = room.f_bavail * room.f_frsize;
    ASSERT_GT(free, leave);
    const int fd = ::open(filler.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(fd, 0) << std::strerror(errno);
    const int failed = ::posix_fallocate(fd, 0, static_cast<off_t>(free - leave));
    ::close(fd);
    ASSERT_EQ(failed, 0) << std::strerror(failed);
  }
  void makeRoom() { fs::remove(filler); }

  CommandRun run(const std::string& command, const std::vector<std::string>& args) const {
    std::vector<std::string> words = {command, "download", "-p", line.path()};
    words.insert(words.end(), args.begin(), args.end());
    return runCommand(SOLVARD_PROGRAM, words, folder.env());
  }

  // The clock's download of `punches` into a file whose filesystem has room for the write-ahead
  // log's index but not for the download's pages: the commit is what finds the disk full.
  CommandRun attendanceRefusedAtTheCommit(const std::vector<simulator::Bytes>& punches) {
    auto* clock = static_cast<simulator::AttendTerminal*>(line.terminal(1));
    line.withState([&] { clock->storeRecords(punches); });
    // The file and its tables are made by a download of a clock that holds nothing.
    const CommandRun made = run("attend", {"-m", "2", "-d", clocks});
    EXPECT_EQ(made.status, 0) << made.err;
    EXPECT_EQ(made.out, "terminal 2 holds no records: nothing written\n");
    fill(40 * 1024);
    return run("attend", {"-m", "1", "-d", clocks});
  }

  testing::CollectFolder folder{"full-disk"};
  const fs::path disk = folder.path() / "disk";
  const fs::path filler = disk / "filler";
  const std::string doors = (disk / "doors.db").string();
  const std::string clocks = (disk / "clocks.db").string();
  bool mounted = false;
  // Clocks 1 and 2, doors 3 and 4; 2 and 4 hold nothing.
  simulator::Simulator line;
};

TEST_F(FullDiskTest, DoorDownloadKeepsTheRefusedRecordAndWritesEveryRecordOnceWhenThereIsRoom) {
  const std::vector<simulator::Bytes> started = testing::distinctDoorRecords(kDoorRecords, 21);
  auto& door = *static_cast<simulator::AccessTerminal*>(line.terminal(3));
  line.withState([&] {
    for (const auto& record : started) door.store(record);
  });
  // The file and its table are made by a download of a door that holds nothing.
  const CommandRun made = run("door", {"-m", "4", "--table", "Records", "-d", doors});
  ASSERT_EQ(made.status, 0) << made.err;
  ASSERT_EQ(made.out, "terminal 4 holds no records: nothing written\n");
  // Room for the write-ahead log's index and a few records.
  ASSERT_NO_FATAL_FAILURE(fill(64 * 1024));

  const CommandRun full = run("door", {"-m", "3", "--table", "Records", "-d", doors});
  EXPECT_EQ(full.status, 3) << full.err;
  EXPECT_EQ(full.out, "");
  std::smatch said;
  const std::string sentence = lastLine(full.err);
  ASSERT_TRUE(std::regex_match(
      sentence, said,
      std::regex("solvard door download: the database refused a statement: ([0-9]+) records "
                 "kept; .*record ([0-9]+) \\(card ([0-9]+), ([-0-9]+) ([:0-9]+)\\) not written, "
                 "the terminal was not prompted again: .*database or disk is full.*; it is kept "
                 "and will be written before the next download from this terminal prompts it "
                 "\\(the record is kept and written first by the next download of this "
                 "terminal\\)")))
      << full.err;

  makeRoom();
  const std::vector<std::string> stored = testing::hostAccessRows(doors, "Records", 3);
  const testing::DoorHolds holds = testing::doorHolds(line, door, "H", 3);
  const std::vector<std::string> kept = testing::keptRecordLines(folder);
  // Part-way: some records stored, the rest still in the door.
  EXPECT_GE(stored.size(), 1u);
  EXPECT_LT(stored.size(), static_cast<std::size_t>(kDoorRecords));
  EXPECT_EQ(said[1], std::to_string(stored.size()));
  EXPECT_EQ(said[2], std::to_string(stored.size() + 1));
  // The refused record is kept and still held (the door was not prompted again), and it is the
  // one the message names.
  ASSERT_TRUE(holds.inHand.has_value());
  ASSERT_EQ(kept.size(), 1u);
  EXPECT_EQ(testing::keptRow(kept[0], "H"), *holds.inHand);
  EXPECT_EQ("H 3 " + said[3].str() + " " + said[4].str() + " " + said[5].str(), *holds.inHand);
  // Every record stored or held, none both.
  EXPECT_EQ(testing::joined(stored, holds.rows),
            testing::everyRow(testing::accessRows("H", 3, started)));

  // The kept record is written first; the first prompt then makes the door forget it.
  const CommandRun again = run("door", {"-m", "3", "--table", "Records", "-d", doors});
  EXPECT_EQ(again.status, 0) << again.err;
  EXPECT_TRUE(std::regex_match(
      again.out,
      std::regex("terminal 3: " + std::to_string(holds.rows.size() - 1) +
                 " records written to Records \\(1 kept from an earlier download written first\\) "
                 "in [0-9]+\\.[0-9] s\n")))
      << again.out;
  EXPECT_EQ(testing::hostAccessRows(doors, "Records", 3),
            testing::everyRow(testing::accessRows("H", 3, started)));
  EXPECT_EQ(testing::doorHolds(line, door, "H", 3).rows, std::vector<std::string>{});
  EXPECT_EQ(testing::keptRecordLines(folder), std::vector<std::string>{});
}

TEST_F(FullDiskTest, AttendDownloadRefusedAtTheCommitStoresNothingAndAllOnceWhenThereIsRoom) {
  const std::vector<simulator::Bytes> punches = simulator::sampleRecords(kClockRecords, 8);
  const CommandRun full = attendanceRefusedAtTheCommit(punches);
  EXPECT_EQ(full.status, 3) << full.err;
  EXPECT_EQ(full.out, "");
  const std::string total = std::to_string(kClockRecords);
  EXPECT_TRUE(std::regex_match(
      lastLine(full.err),
      std::regex("solvard attend download: the database refused a statement: .*GetMacData\\(1\\): "
                 "the database refused to commit the download: .*database or disk is full; "
                 "nothing of this download was kept \\(nothing of it was kept; the terminal "
                 "still holds its " +
                 total + " records\\)")))
      << full.err;

  makeRoom();
  EXPECT_EQ(testing::hostAttendanceRows(clocks), std::vector<std::string>{});
  EXPECT_EQ(testing::queryText(clocks, "select count(*) from WorkCardReadTime"), "0 \n");
  auto& clock = *static_cast<simulator::AttendTerminal*>(line.terminal(1));
  EXPECT_EQ(line.withState([&] { return testing::attendRows("H", 1, clock.records()); }),
            testing::attendRows("H", 1, punches));

  const CommandRun again = run("attend", {"-m", "1", "-d", clocks});
  EXPECT_EQ(again.status, 0) << again.err;
  EXPECT_TRUE(
      std::regex_match(again.out, std::regex("terminal 1: " + total + " records downloaded into " +
                                             clocks + " in [0-9.]+ s \\([0-9.]+ records/s\\)\n")))
      << again.out;
  EXPECT_EQ(testing::hostAttendanceRows(clocks),
            testing::everyRow(testing::attendRows("H", 1, punches)));
}

// A download refused at its commit says so, not "record 401 of 400", a record the clock never
// sent: every record came and the commit was what failed.
TEST_F(FullDiskTest, AttendCommitRefusedIsNotReportedAsARecordBeyondTheCount) {
  const CommandRun full = attendanceRefusedAtTheCommit(simulator::sampleRecords(kClockRecords, 8));
  EXPECT_EQ(full.status, 3) << full.err;
  EXPECT_EQ(full.err.find("record " + std::to_string(kClockRecords + 1) + " of "),
            std::string::npos)
      << full.err;
  EXPECT_NE(full.err.find("the commit: "), std::string::npos) << full.err;
}

}  // namespace
}  // namespace solvard::tool
