// The `solvard` command, every action of it, and the native line on a line reached through
// ser2net on 127.0.0.1:
// raw TCP and Telnet with the COM-PORT-OPTION in front of simulated terminals on a
// pseudo-terminal, the baud rate the host asked for arriving at the line, and a device server
// that goes away and comes back.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "acknowledged_actions.hpp"
#include "query_text.hpp"
#include "run_command.hpp"
#include "ser2net_process.hpp"
#include "simulator/access_terminal.hpp"
#include "simulator/attend_terminal.hpp"
#include "simulator/simulator.hpp"
#include "solvard/solvard.hpp"

namespace solvard::tool {
namespace {

namespace fs = std::filesystem;
using testing::Ser2net;

struct Mode {
  const char* name;
  const char* scheme;    // of the address the host gives
  const char* accepter;  // ser2net's
  // The line's rate while a command runs: ser2net's own 4800 over raw TCP, the host's 19200
  // when it sets the line itself.
  int32_t lineBaud;
};

class NetworkLineTest : public ::testing::TestWithParam<Mode> {
 protected:
  void SetUp() override {
    if (testing::ser2netProgram().empty()) GTEST_SKIP() << "ser2net is not installed";
    auto& clock = sim.add(std::make_unique<simulator::AttendTerminal>(1, "0012345678"));
    clock.storeRecords(simulator::sampleRecords(5));
    auto& door = sim.add(std::make_unique<simulator::AccessTerminal>(3));
    doorTerminal = &door;
    door.setIdentity("1234567890");
    door.store(simulator::accessRecord("0000012345", 1, 6, 29, 8, 5));
    door.store(simulator::accessRecord("9876543210", 1, 6, 30, 17, 45));
    sim.start();
    folder = fs::temp_directory_path() /
             ("solvard-net-" + std::to_string(::getpid()) + "-" + GetParam().name + "-" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder);
    fs::create_directories(folder);
    env["XDG_STATE_HOME"] = (folder / "state").string();
    server = std::make_unique<Ser2net>(folder, GetParam().accepter, sim.path(), "4800n81",
                                       testing::freeLocalPort());
    ASSERT_TRUE(server->start()) << "ser2net did not listen";
    address = std::string(GetParam().scheme) + "://127.0.0.1:" + std::to_string(server->port());
  }
  void TearDown() override {
    server.reset();
    sim.stop();
    fs::remove_all(folder);
  }

  // Runs the command with "{port}" and "{db}" in the words replaced.
  CommandRun run(const std::vector<std::string>& words) {
    return runCommand(
        SOLVARD_PROGRAM,
        replaceMarks(words, {{"{port}", address}, {"{db}", (folder / "records.db").string()}}), env,
        std::chrono::seconds(30));
  }

  std::string dbRows(const std::string& query) {
    return testing::queryText((folder / "records.db").string(), query);
  }

  simulator::Simulator sim;
  simulator::AccessTerminal* doorTerminal = nullptr;
  std::unique_ptr<Ser2net> server;
  std::string address;
  fs::path folder;
  std::map<std::string, std::string> env;
};

TEST_P(NetworkLineTest, EveryCommandGivesWhatItGivesOnALocalPort) {
  std::vector<testing::AcknowledgedAction> actions = testing::everyAcknowledgedAction();
  for (auto& action : actions) {
    action.words.push_back("-b");
    action.words.push_back("19200");
  }
  // The automation face reaches the address through the port number it is mapped to.
  actions.push_back({{"invoke", "Prohibit", "OpenLock", "3", "--port", "{port}"}, "result: -1\n"});
  for (const auto& action : actions) {
    const CommandRun got = run(action.words);
    EXPECT_EQ(got.status, 0) << action.words[0] << " " << action.words[1] << "\n" << got.err;
    EXPECT_EQ(got.out, action.out) << action.words[1];
    EXPECT_EQ(got.err, "") << action.words[1];
  }
  const auto door = sim.withState([&] { return doorTerminal->state(); });
  EXPECT_EQ(door.lockMode, 255);
  EXPECT_EQ(door.resetDelay, 10);
  EXPECT_EQ(door.date, "01-06-29");
  EXPECT_EQ(door.weekday, 5);
  EXPECT_EQ(door.time, "13:05:09");
  EXPECT_EQ(door.lockOpened, 2);  // door open, then OpenLock through the automation face
  EXPECT_EQ(door.lockStateQueries, 1);
  EXPECT_EQ(door.lockOpenStateSet, 1);
  EXPECT_EQ(door.openListCleared, 1);
  EXPECT_EQ(door.openRecordsCleared, 1);
  EXPECT_TRUE(door.openList.empty());  // allowed, then denied
}

TEST_P(NetworkLineTest, DownloadsWriteEveryRecord) {
  CommandRun got = run({"attend", "download", "-m", "1", "-p", "{port}", "-b", "19200", "-d",
                        "{db}", "--no-progress"});
  ASSERT_EQ(got.status, 0) << got.err;
  EXPECT_EQ(dbRows("select count(*) from WorkCardSource"), "5 \n");

  got = run({"door", "download", "-m", "3", "-p", "{port}", "-b", "19200", "-d", "{db}", "--table",
             "Records", "--no-progress"});
  ASSERT_EQ(got.status, 0) << got.err;
  EXPECT_TRUE(std::regex_match(
      got.out, std::regex("terminal 3: 2 records written to Records in [0-9]+\\.[0-9] s\n")))
      << got.out;
  EXPECT_EQ(dbRows("select * from Records order by 1"),
            "0000012345 2001-06-29 08:05 \n9876543210 2001-06-30 17:45 \n");
}

// A device server that went away fails the command; once it is back, the next command on the
// same line connects again.
TEST_P(NetworkLineTest, SetsTheRateAndConnectsAgainAfterTheServerCameBack) {
  Line line = Line::make(Device::path(address), LineSettings{19200}).value();
  // The line's rate as the reply comes through the device server, which holds the line then
  // (it may set it back once the connection closes).
  int32_t baudAtReply = 0;
  line.setByteTrace([&](ByteDirection way, std::span<const uint8_t>) {
    if (way == ByteDirection::received) baudAtReply = sim.lineBaudRate();
  });
  DoorTerminal door(line, MachineNumber::make(3).value());
  ASSERT_TRUE(door.openDoor().ok());
  EXPECT_EQ(baudAtReply, GetParam().lineBaud);

  server->stop();
  const auto dropped = door.identity();
  ASSERT_FALSE(dropped.ok());
  EXPECT_EQ(dropped.error().code(), Errc::port_failed);
  EXPECT_EQ(dropped.error().detail(), address + ": Connection refused");
  const CommandRun refused = run({"door", "open", "-m", "3", "-p", "{port}"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.err,
            "solvard door open: the serial port failed: " + address + ": Connection refused\n");

  ASSERT_TRUE(server->start());
  const auto back = door.identity();
  ASSERT_TRUE(back.ok()) << back.error().message();
  EXPECT_EQ(back.value().digits(), "1234567890");
}

INSTANTIATE_TEST_SUITE_P(Ser2net, NetworkLineTest,
                         ::testing::Values(Mode{"Raw", "tcp", "tcp", 4800},
                                           Mode{"ComPort", "rfc2217", "telnet(rfc2217),tcp",
                                                19200}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace solvard::tool
