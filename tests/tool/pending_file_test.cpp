#include "pending_file.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "db/odbc_connection.hpp"
#include "integration/simulator_fixture.hpp"
#include "pending_text.hpp"
#include "run_command.hpp"
#include "simulator/access_terminal.hpp"
#include "simulator/faults.hpp"
#include "state_folder.hpp"

namespace solvard::tool {
namespace {

namespace fs = std::filesystem;
using PendingRecord = KeptRecord;

const serial::Bytes kRecord{0x12, 0x34, 0x56, 0x78, 0x90, 0x01, 0x06, 0x29, 0x08, 0x05};

fs::path freshFolder(const std::string& name) {
  const fs::path folder = fs::temp_directory_path() / (name + "-" + std::to_string(::getpid()));
  fs::remove_all(folder);
  fs::create_directories(folder);
  return folder;
}

TEST(PendingFileTest, KeepsRecordsPerTerminalAcrossKeepersAndForgetsOneCopy) {
  const fs::path folder = freshFolder("solvard-pending");
  const PendingRecord first{"/dev/pts/7", 3, kRecord, "00000000000000a1", {}};
  const PendingRecord again{"/dev/pts/7", 3, kRecord, "00000000000000a2", {}};  // presented twice
  const PendingRecord other{"/dev/pts/7", 4, kRecord, "00000000000000a3", {}};
  std::string problem;
  {
    PendingFile keeper(folder / "state" / "pending");
    ASSERT_TRUE(keeper.keep(first, problem)) << problem;
    ASSERT_TRUE(keeper.keep(again, problem)) << problem;
    ASSERT_TRUE(keeper.keep(other, problem)) << problem;
  }
  PendingFile later(folder / "state" / "pending");  // as a new process finds it
  EXPECT_EQ(later.recordsOf("/dev/pts/7", 3), (std::vector<PendingRecord>{first, again}));
  EXPECT_TRUE(later.recordsOf("/dev/pts/8", 3).empty());
  ASSERT_TRUE(later.forget(first, problem)) << problem;
  EXPECT_EQ(later.recordsOf("/dev/pts/7", 3), std::vector<PendingRecord>{again});
  EXPECT_EQ(later.recordsOf("/dev/pts/7", 4), std::vector<PendingRecord>{other});
  EXPECT_EQ(fs::status(folder / "state").permissions() & fs::perms::all, fs::perms::owner_all);
  fs::remove_all(folder);
}

// The file's text: what reads as records, and every kind of damage named by its line.
TEST(PendingFileTest, ReadsWholeRecordsAndNamesTheFirstDamagedLine) {
  // Kept after a commit whose outcome was unknown: with the transaction to ask about.
  const PendingRecord record{"/dev/pts/1", 3, kRecord, "00000000000000a1", "731"};
  const std::string written = writePendingText({record});
  ASSERT_EQ(written,
            "solvard kept access records 2\n"
            "3 12345678900106290805 00000000000000a1 731 " +
                written.substr(written.rfind("731 ") + 4, 8) + " /dev/pts/1\n");
  const std::string line = written.substr(written.find('\n') + 1);
  std::string flipped = written;
  flipped[flipped.find("0805")] = '1';  // one digit of the record changed
  struct Case {
    std::string text;
    std::vector<PendingRecord> records;
    std::string damage;
  };
  const std::vector<Case> cases = {
      {written, {record}, ""},
      {"", {}, ""},
      // The checksum is the common CRC-32 (as zlib's crc32 gives it).
      {"solvard kept access records 2\n3 12345678900106290805 00000000000000a1 - 9abd2d58 "
       "/dev/ttyUSB0\n",
       {{"/dev/ttyUSB0", 3, kRecord, "00000000000000a1", {}}},
       ""},
      {"solvard kept access records 2\r\n" + line.substr(0, line.size() - 1) + "\r\n\n",
       {record},
       ""},  // CRLF endings and a blank line
      {"3 12345678900106290805 /dev/pts/1\n",
       {{"/dev/pts/1", 3, kRecord, "v1", {}}},
       ""},  // an earlier release's file
      {written.substr(0, written.size() - 1), {}, "line 2 is cut short (it has no line end)"},
      {written.substr(0, written.size() / 2), {}, "line 2 is cut short (it has no line end)"},
      {flipped, {}, "line 2 is not a whole kept record (or fails its checksum)"},
      {written + "\x01\x7f garbage \xff\n",
       {},
       "line 3 is not a whole kept record (or fails its checksum)"},
      {"3 1234567890010629080 /dev/pts/1\n", {}, "line 1 is not a kept record"},     // 19 digits
      {"300 12345678900106290805 /dev/pts/1\n", {}, "line 1 is not a kept record"},  // machine
      {"3 12345678900106290805\n", {}, "line 1 is not a kept record"},               // no device
  };
  for (const Case& c : cases) {
    const PendingRead read = readPendingText(c.text);
    EXPECT_EQ(read.damage.value_or(""), c.damage) << c.text;
    if (c.damage.empty()) {
      EXPECT_EQ(read.records, c.records) << c.text;
    }
  }
  EXPECT_EQ(pendingLineProblem({"/dev/a\nb", 3, kRecord, "a1", {}}),
            "the line's device name is empty or holds a control character");
  EXPECT_EQ(pendingLineProblem({"/dev/a", 3, kRecord, "a 1", {}}),
            "the record's identity is not one word");
}

// Whatever lies under the file's names, the file is read only when it is whole and ours, and
// written only as a new file of its own: a keeper that cannot keep says so before any prompt.
TEST(PendingFileTest, RefusesWhatIsNotAWholeFileOfItsOwnAndNeverWritesThroughALink) {
  const PendingRecord record{"/dev/pts/1", 3, kRecord, "00000000000000a1", {}};
  struct Case {
    std::string name;
    std::function<void(const fs::path& file)> plant;
    std::string problem;  // the end of what ready() says, after the file's path
  };
  const std::vector<Case> cases = {
      {"the file is a folder", [](const fs::path& file) { fs::create_directories(file); },
       ": is not a regular file"},
      {"its new file is a folder",
       [](const fs::path& file) { fs::create_directories(file.string() + ".new"); },
       ".new: Is a directory"},
      {"the file links to /dev/zero",
       [](const fs::path& file) { fs::create_symlink("/dev/zero", file); },
       ": is a link; kept records are never read through one"},
      {"the file is a FIFO", [](const fs::path& file) { ::mkfifo(file.c_str(), 0600); },
       ": is not a regular file"},
      {"its lock links to /dev/zero",
       [](const fs::path& file) { fs::create_symlink("/dev/zero", file.string() + ".lock"); },
       ".lock: is a link; the lock is never taken through one"},
      {"the file is damaged",
       [](const fs::path& file) { std::ofstream(file) << "solvard kept access records 2\nxx\n"; },
       ": line 2 is not a whole kept record (or fails its checksum): the kept records cannot be "
       "trusted, so no door is prompted until the file is mended (restore that line, or move the "
       "file aside once its records are written by hand)"},
  };
  for (const Case& c : cases) {
    const fs::path folder = freshFolder("solvard-planted");
    fs::create_directories(folder / "state");
    const fs::path file = folder / "state" / "pending";
    c.plant(file);
    PendingFile keeper(file);
    std::string problem;
    EXPECT_FALSE(keeper.ready(problem)) << c.name;
    EXPECT_EQ(problem, file.string() + c.problem) << c.name;
    problem.clear();
    EXPECT_FALSE(keeper.keep(record, problem)) << c.name;
    EXPECT_FALSE(problem.empty()) << c.name;
    fs::remove_all(folder);
  }

  // Another user's link named like the new file: the file it points to stays as it was.
  const fs::path folder = freshFolder("solvard-planted-link");
  fs::create_directories(folder / "state");
  std::ofstream(folder / "victim") << "precious\n";
  fs::create_symlink(folder / "victim", folder / "state" / "pending.new");
  PendingFile keeper(folder / "state" / "pending");
  std::string problem;
  ASSERT_TRUE(keeper.keep(record, problem)) << problem;
  std::ifstream victim(folder / "victim");
  std::string text;
  std::getline(victim, text);
  EXPECT_EQ(text, "precious");
  EXPECT_EQ(keeper.recordsOf("/dev/pts/1", 3), std::vector<PendingRecord>{record});
  fs::remove_all(folder);
}

TEST(PendingFileTest, WaitsForAHeldLockOnlyAsLongAsItsBound) {
  const fs::path folder = freshFolder("solvard-locked");
  const fs::path file = folder / "pending";
  const int holder = ::open((file.string() + ".lock").c_str(), O_RDWR | O_CREAT, 0600);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(::flock(holder, LOCK_EX), 0);
  PendingFile keeper(file, std::chrono::milliseconds(1000));
  std::chrono::milliseconds waited{0};
  keeper.pause = [&](std::chrono::milliseconds wait) { waited += wait; };
  std::string problem;
  EXPECT_FALSE(keeper.ready(problem));
  EXPECT_EQ(waited, std::chrono::milliseconds(1000));
  EXPECT_EQ(problem, file.string() +
                         ".lock: held by another program for more than 1 s; no door was prompted "
                         "(is another solvard stuck?)");
  ::close(holder);
  EXPECT_TRUE(keeper.ready(problem)) << problem;
  fs::remove_all(folder);
}

TEST(PendingFileTest, StateLivesInAPrivateFolderOfTheUsersOwnNeverInTheSharedTemp) {
  const char* names[] = {"XDG_STATE_HOME", "HOME"};
  std::vector<std::optional<std::string>> saved;
  for (const char* name : names) {
    const char* value = std::getenv(name);
    saved.push_back(value ? std::optional<std::string>(value) : std::nullopt);
    ::unsetenv(name);
  }
  std::string problem;
  const auto folder = stateFolder(problem);
  for (std::size_t i = 0; i < saved.size(); ++i) {
    if (saved[i]) ::setenv(names[i], saved[i]->c_str(), 1);
  }
  ASSERT_TRUE(folder.has_value()) << problem;
  EXPECT_EQ(*folder, fs::path(::getpwuid(::geteuid())->pw_dir) / ".local/state/solvard");

  const fs::path loose = freshFolder("solvard-loose") / "solvard";
  fs::create_directories(loose);
  fs::permissions(loose, fs::perms::owner_all | fs::perms::group_all | fs::perms::others_read);
  ASSERT_TRUE(ensurePrivateFolder(loose, problem)) << problem;
  EXPECT_EQ(fs::status(loose).permissions() & fs::perms::all, fs::perms::owner_all);
  const fs::path linked = loose.parent_path() / "linked";
  fs::create_directory_symlink(loose, linked);
  EXPECT_FALSE(ensurePrivateFolder(linked, problem));
  EXPECT_EQ(problem,
            linked.string() + " is not a folder (a link or a file has its name); remove it");
  if (::geteuid() == 0) {  // only root can give a folder away
    ASSERT_EQ(::chown(loose.c_str(), 65534, 65534), 0);
    EXPECT_FALSE(ensurePrivateFolder(loose, problem));
    EXPECT_EQ(problem, loose.string() +
                           " belongs to another user (uid 65534); set XDG_STATE_HOME to a folder "
                           "of this user's own");
  }
  fs::remove_all(loose.parent_path());
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
  // The first reaches the line through a link, as a /dev/serial/by-id name does: the kept
  // record belongs to the line, not to the name.
  fs::create_symlink(sim.path(), folder / "by-id-door-line");
  const std::string linked = "door download --machine 3 --port '" +
                             (folder / "by-id-door-line").string() + "' --table Records --db '" +
                             file + "'";
  const std::string arguments =
      "door download --machine 3 --port '" + sim.path() + "' --table Records --db '" + file + "'";

  // The database refused a row: exit 3, the record kept for the next process.
  EXPECT_EQ(runSolvard(linked, folder / "state"), 3);
  EXPECT_EQ(rowsOf(file).size(), 6u);
  std::ifstream kept(folder / "state" / "solvard" / "pending-access-records");
  std::string line;
  std::getline(kept, line);
  EXPECT_EQ(line, kPendingHeader);
  std::getline(kept, line);
  EXPECT_TRUE(line.starts_with("3 0000000006")) << line;

  execute(file, "delete from Records where RecordDate = '2000-01-01'");
  EXPECT_EQ(runSolvard(arguments, folder / "state"), 0);
  db::Rows stored = rowsOf(file);
  ASSERT_EQ(stored.size(), 10u);
  for (size_t i = 0; i < stored.size(); ++i) {
    EXPECT_EQ(stored[i][0], "000000000" + std::to_string(i));
  }
  PendingFile after(folder / "state" / "solvard" / "pending-access-records");
  std::vector<PendingRecord> left;
  std::string problem;
  EXPECT_TRUE(after.all(left, problem)) << problem;
  EXPECT_TRUE(left.empty());
  fs::remove_all(folder);
}

// A kept-records file that does not read whole: the download stops before its first prompt,
// says which file and line, and leaves both the file and the terminal's records as they were.
TEST_F(DoorDownloadProcesses, DamagedKeptRecordsStopTheDownloadBeforeAnyPrompt) {
  const fs::path folder = freshFolder("solvard-damaged-kept");
  const std::string file = (folder / "doors.db").string();
  execute(file,
          "create table Records (CardNo varchar(32), RecordDate varchar(32), "
          "RecordTime varchar(32))");
  auto& terminal = sim.add(std::make_unique<simulator::AccessTerminal>(3));
  sim.withState([&] { terminal.store(simulator::accessRecord("0000000001", 1, 6, 29, 8, 1)); });
  const fs::path kept = folder / "state" / "solvard" / "pending-access-records";
  fs::create_directories(kept.parent_path());
  const std::string damaged = writePendingText({{sim.path(), 3, kRecord, "00000000000000a1", {}}});
  for (const std::string& text : {damaged.substr(0, damaged.size() - 5), damaged + "garbage\n"}) {
    std::ofstream(kept, std::ios::binary | std::ios::trunc) << text;
    const fs::path out = folder / "out.txt";
    const std::string command = "XDG_STATE_HOME='" + (folder / "state").string() + "' '" +
                                std::string(SOLVARD_PROGRAM) +
                                "' door download --machine 3 --port '" + sim.path() +
                                "' --table Records --db '" + file + "' 2>'" + out.string() + "'";
    const int status = std::system(command.c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 3) << status;
    std::ifstream said(out);
    const std::string message((std::istreambuf_iterator<char>(said)), {});
    EXPECT_NE(message.find(kept.string() + ": line " +
                           (text.ends_with("garbage\n") ? "3 is not a whole kept record"
                                                        : "2 is cut short")),
              std::string::npos)
        << message;
    EXPECT_TRUE(sim.frames().empty());
    EXPECT_TRUE(rowsOf(file).empty());
    std::ifstream after(kept, std::ios::binary);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(after)), {}), text);
  }
  fs::remove_all(folder);
}

// Whatever is planted under the kept-records file's name, a door download ends at once before
// its first prompt, names the file and what it is, and leaves it as it was: read through a link
// to /dev/zero it would never end, and a FIFO would keep it waiting.
TEST_F(DoorDownloadProcesses, AKeptRecordsFileThatIsNoFileStopsTheDownloadAtOnce) {
  const fs::path folder = freshFolder("solvard-planted-kept");
  const std::string file = (folder / "doors.db").string();
  auto& terminal = sim.add(std::make_unique<simulator::AccessTerminal>(3));
  sim.withState([&] { terminal.store(simulator::accessRecord("0000000001", 1, 6, 29, 8, 1)); });
  const fs::path kept = folder / "state" / "solvard" / "pending-access-records";
  const struct {
    std::string name;
    std::function<void()> plant;
    std::string problem;
  } cases[] = {
      {"a link to /dev/zero", [&] { fs::create_symlink("/dev/zero", kept); },
       ": is a link; kept records are never read through one"},
      {"a FIFO", [&] { ASSERT_EQ(::mkfifo(kept.c_str(), 0600), 0); }, ": is not a regular file"},
  };
  for (const auto& c : cases) {
    fs::remove_all(folder / "state");
    fs::create_directories(kept.parent_path());
    c.plant();
    const fs::file_status planted = fs::symlink_status(kept);
    const CommandRun got =
        runCommand(SOLVARD_PROGRAM,
                   {"door", "download", "--machine", "3", "--port", sim.path(), "--table",
                    "Records", "--db", file},
                   {{"XDG_STATE_HOME", (folder / "state").string()}}, std::chrono::seconds(30));
    EXPECT_EQ(got.status, 3) << c.name << ": " << got.err;
    EXPECT_NE(got.err.find(kept.string() + c.problem), std::string::npos) << got.err;
    EXPECT_TRUE(sim.frames().empty()) << c.name << ": the terminal was prompted";
    EXPECT_EQ(fs::symlink_status(kept).type(), planted.type()) << c.name;
    EXPECT_EQ(sim.withState([&] { return terminal.state().records.size(); }), 1u) << c.name;
  }
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
