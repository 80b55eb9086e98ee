#include "pending_file.hpp"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "db/odbc_connection.hpp"
#include "integration/simulator_fixture.hpp"
#include "simulator/access_terminal.hpp"
#include "simulator/faults.hpp"

namespace solvard::tool {
namespace {

namespace fs = std::filesystem;
using prohibit::PendingRecord;

const serial::Bytes kRecord{0x12, 0x34, 0x56, 0x78, 0x90, 0x01, 0x06, 0x29, 0x08, 0x05};

fs::path freshFolder(const std::string& name) {
  const fs::path folder = fs::temp_directory_path() / (name + "-" + std::to_string(::getpid()));
  fs::remove_all(folder);
  fs::create_directories(folder);
  return folder;
}

TEST(PendingFileTest, KeepsRecordsPerTerminalAcrossKeepersAndForgetsOneCopy) {
  const fs::path folder = freshFolder("solvard-pending");
  const PendingRecord first{"/dev/pts/7", 3, kRecord};
  const PendingRecord other{"/dev/pts/7", 4, kRecord};
  std::string problem;
  {
    PendingFile keeper(folder / "state" / "pending");
    ASSERT_TRUE(keeper.keep(first, problem)) << problem;
    ASSERT_TRUE(keeper.keep(first, problem)) << problem;  // read twice: two records
    ASSERT_TRUE(keeper.keep(other, problem)) << problem;
  }
  PendingFile again(folder / "state" / "pending");  // as a new process finds it
  EXPECT_EQ(again.recordsOf("/dev/pts/7", 3), (std::vector<PendingRecord>{first, first}));
  EXPECT_TRUE(again.recordsOf("/dev/pts/8", 3).empty());
  ASSERT_TRUE(again.forget(first, problem)) << problem;
  EXPECT_EQ(again.recordsOf("/dev/pts/7", 3), std::vector<PendingRecord>{first});
  EXPECT_EQ(again.recordsOf("/dev/pts/7", 4), std::vector<PendingRecord>{other});
  fs::remove_all(folder);
}

TEST(PendingFileTest, ReadsOnlyWhatIsARecordAndWritesNoLineThatWouldSplit) {
  const std::string text =
      "3 1234567890010629080 /dev/pts/1\n"     // 19 digits
      "300 12345678900106290805 /dev/pts/1\n"  // no such machine
      "3 12345678900106290zz5 /dev/pts/1\n"    // not hex
      "3 12345678900106290805\n"               // no line
      "3 12345678900106290805 /dev/pts/1\n";
  EXPECT_EQ(readPendingText(text), (std::vector<PendingRecord>{{"/dev/pts/1", 3, kRecord}}));
  EXPECT_EQ(writePendingText({{"/dev/a\nb", 3, kRecord}, {"/dev/pts/1", 3, kRecord}}),
            "3 12345678900106290805 /dev/pts/1\n");
}

// Two `solvard door download` processes on one simulated line: the database refuses record 6 of
// 10 in the first; the second writes it from the user's state folder before its first prompt.
class DoorDownloadProcesses : public integration::SimulatorTest {};

int runSolvard(const std::string& arguments, const fs::path& state) {
  const fs::path program =
      fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "tools" / "solvard";
  const std::string command = "XDG_STATE_HOME='" + state.string() + "' '" + program.string() +
                              "' " + arguments + " >/dev/null 2>&1";
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

db::Rows rowsOf(const std::string& file) {
  auto connection = db::makeOdbcConnection();
  db::Rows rows;
  EXPECT_EQ(connection->Open(file), db::Outcome::kOk);
  EXPECT_EQ(connection->queryRows("select CardNo from Records order by CardNo", rows),
            db::Outcome::kOk);
  return rows;
}

void execute(const std::string& file, const std::string& statement) {
  auto connection = db::makeOdbcConnection();
  ASSERT_EQ(connection->Open(file), db::Outcome::kOk);
  ASSERT_EQ(connection->Execute(statement), db::Outcome::kOk)
      << connection->lastDiagnostic().text();
}

TEST_F(DoorDownloadProcesses, RecordRefusedInOneIsWrittenByTheNextNoneTwice) {
  const fs::path folder = freshFolder("solvard-two-processes");
  const std::string file = (folder / "doors.db").string();
  execute(file,
          "create table Records (CardNo varchar(32) unique, RecordDate varchar(32), "
          "RecordTime varchar(32))");
  execute(file, "insert into Records values('0000000006','2000-01-01','00:00')");
  auto& terminal = sim.add(std::make_unique<simulator::AccessTerminal>(3));
  sim.withState([&] {
    for (int card = 1; card <= 10; ++card) {
      terminal.store(
          simulator::accessRecord("000000000" + std::to_string(card % 10), 1, 6, 29, 8, card));
    }
  });
  const std::string arguments =
      "door download --machine 3 --port '" + sim.path() + "' --table Records --db '" + file + "'";

  // The database refused a row: exit 3, the record kept for the next process.
  EXPECT_EQ(runSolvard(arguments, folder / "state"), 3);
  EXPECT_EQ(rowsOf(file).size(), 6u);
  std::ifstream kept(folder / "state" / "solvard" / "pending-access-records");
  std::string line;
  std::getline(kept, line);
  EXPECT_TRUE(line.starts_with("3 0000000006")) << line;

  execute(file, "delete from Records where RecordDate = '2000-01-01'");
  EXPECT_EQ(runSolvard(arguments, folder / "state"), 0);
  db::Rows stored = rowsOf(file);
  ASSERT_EQ(stored.size(), 10u);
  for (size_t i = 0; i < stored.size(); ++i) {
    EXPECT_EQ(stored[i][0], "000000000" + std::to_string(i));
  }
  EXPECT_TRUE(
      readPendingText(
          std::string(
              std::istreambuf_iterator<char>(
                  std::ifstream(folder / "state" / "solvard" / "pending-access-records").rdbuf()),
              {}))
          .empty());
  fs::remove_all(folder);
}

// A terminal that stops answering mid-download gives "ISEND" to an automation host, but the
// command tells it from the end: exit 1, and the records already written stay.
TEST_F(DoorDownloadProcesses, TerminalThatStopsAnsweringIsNotTakenForTheEnd) {
  const fs::path folder = freshFolder("solvard-stops-answering");
  const std::string file = (folder / "doors.db").string();
  auto& terminal = sim.add(std::make_unique<simulator::AccessTerminal>(3));
  sim.withState([&] {
    for (int card = 1; card <= 10; ++card) {
      terminal.store(
          simulator::accessRecord("000000000" + std::to_string(card % 10), 1, 6, 29, 8, card));
    }
  });
  terminal.inject(simulator::Fault::silence(), simulator::FaultSchedule::onReply(4));
  const std::string arguments =
      "door download --machine 3 --port '" + sim.path() + "' --table Records --db '" + file + "'";
  EXPECT_EQ(runSolvard(arguments, folder / "state"), 1);
  EXPECT_EQ(rowsOf(file).size(), 3u);
  fs::remove_all(folder);
}

}  // namespace
}  // namespace solvard::tool
