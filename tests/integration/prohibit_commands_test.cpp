#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "component/library_line.hpp"
#include "component/prohibit.hpp"
#include "serial/host_link.hpp"
#include "simulator/access_terminal.hpp"
#include "simulator_fixture.hpp"

namespace solvard::integration {
namespace {

using automation::DateTime;
using serial::Bytes;
using simulator::AccessTerminal;
using simulator::Fault;

constexpr uint8_t kMachine = 3;

// An access-control terminal on the simulated line, driven through a `Prohibit` object on the
// library's own port in real time.
class ProhibitCommands : public TerminalOnLine<AccessTerminal, component::Prohibit> {
 protected:
  ProhibitCommands() : TerminalOnLine(std::make_unique<AccessTerminal>(kMachine)) {}
};

TEST_F(ProhibitCommands, EveryMethodReachesTheTerminal) {
  int16_t machine = kMachine;
  int16_t delay = 300;
  int16_t mode = 1;
  DateTime date{2001, 6, 29};
  int16_t weekday = 5;
  std::string time = "13:05:09";
  std::string card = "12345";
  std::string other = "777";
  std::string firstDay = "2001-06-29", lastDay = "2002-12-31";
  std::string start = "08:30", end = "17:45";
  int16_t startWeek = 1, endWeek = 5;
  std::string noStart;

  EXPECT_TRUE(object.OpenLock(kMachine));
  EXPECT_EQ(object.GetLockState(kMachine), 1);
  EXPECT_TRUE(object.SetLockMode(kMachine, mode));
  EXPECT_TRUE(object.SetResetDelay(kMachine, delay));
  EXPECT_TRUE(object.SetLockOpenState(kMachine));
  EXPECT_TRUE(object.ClearOpenRecord(kMachine));
  EXPECT_TRUE(object.SetMacDateAndWeek(machine, date, weekday));
  EXPECT_TRUE(object.SetMacTime(machine, time));
  EXPECT_TRUE(
      object.SetOpenList(kMachine, other, firstDay, lastDay, start, end, startWeek, endWeek));
  EXPECT_TRUE(object.ClearOpenList(kMachine));
  EXPECT_TRUE(
      object.SetOpenList(kMachine, card, firstDay, lastDay, start, end, startWeek, endWeek));
  EXPECT_TRUE(
      object.SetOpenList(kMachine, other, firstDay, lastDay, noStart, end, startWeek, endWeek));
  EXPECT_TRUE(object.DeleteLockList(kMachine, other));

  EXPECT_EQ(framesSeen().at(0), (Bytes{3, 0x11}));
  EXPECT_EQ(framesSeen().at(6), (Bytes{3, 0x06, 4, 0x01, 0x06, 0x29, 0x50}));
  EXPECT_EQ(framesSeen().at(7), (Bytes{3, 0x07, 3, 0x13, 0x05, 0x09}));
  EXPECT_EQ(framesSeen().at(10), (Bytes{3, 0x04, 0x10, 0x00, 0x00, 0x01, 0x23, 0x45, 0x02, 0x01,
                                        0x12, 0x06, 0x31, 0x29, 0x17, 0x08, 0x45, 0x30, 0x15}));
  EXPECT_EQ(framesSeen().at(12), (Bytes{3, 0x05, 5, 0x00, 0x00, 0x00, 0x07, 0x77}));
  const AccessTerminal::State state = terminalState();
  EXPECT_EQ(state.lockOpened, 1);
  EXPECT_EQ(state.lockStateQueries, 1);
  EXPECT_EQ(state.lockMode, 0);
  EXPECT_EQ(state.resetDelay, 255);
  EXPECT_EQ(state.lockOpenStateSet, 1);
  EXPECT_EQ(state.openRecordsCleared, 1);
  EXPECT_EQ(state.openListCleared, 1);
  EXPECT_EQ(state.date, "01-06-29");
  EXPECT_EQ(state.weekday, 5);
  EXPECT_EQ(state.time, "13:05:09");
  EXPECT_EQ(state.openList, (std::map<std::string, AccessTerminal::Window>{
                                {"0000012345", {"01-06-29", "02-12-31", "08:30", "17:45", 1, 5}}}));
  EXPECT_EQ(mode, 0);
  EXPECT_EQ(delay, 255);
  EXPECT_EQ(card, "0000012345");
  EXPECT_EQ(other, "0000000777");
  EXPECT_TRUE(reported.empty());
}

// Replies the terminal spoils: only [3, 2] is an acknowledgement, and only its two bytes count.
TEST_F(ProhibitCommands, SpoiledRepliesAreNotAcknowledgements) {
  terminal->inject(Fault::wrongMachine(4));
  EXPECT_FALSE(object.OpenLock(kMachine));
  terminal->inject(Fault::garbage({3, 0x11}));
  EXPECT_FALSE(object.OpenLock(kMachine));
  terminal->inject(Fault::extraBytes({0x55, 0xAA, 0x03}));
  EXPECT_TRUE(object.OpenLock(kMachine));
  terminal->inject(Fault::partial(1));
  EXPECT_EQ(object.GetLockState(kMachine), 0);
  // The bytes left unread went with the close: the next command sees only its own reply.
  EXPECT_EQ(object.GetLockState(kMachine), 1);
  EXPECT_TRUE(reported.empty());
}

// The reset delay waits three to four seconds for its acknowledgement, the others one to two.
TEST_F(ProhibitCommands, ResetDelayWaitsThreeToFourSeconds) {
  int16_t delay = 10;
  terminal->inject(Fault::delayed(std::chrono::milliseconds(2500)));
  EXPECT_TRUE(object.SetResetDelay(kMachine, delay));

  terminal->inject(Fault::silence());
  const auto began = std::chrono::steady_clock::now();
  EXPECT_FALSE(object.SetResetDelay(kMachine, delay));
  const auto waited = std::chrono::steady_clock::now() - began;
  EXPECT_GE(waited, std::chrono::seconds(3));
  EXPECT_LT(waited, std::chrono::milliseconds(4300));
}

// Another program holds the line: message 61206, and nothing reaches the terminal.
TEST_F(ProhibitCommands, PortHeldElsewhereIsReported) {
  std::unique_ptr<serial::PortControl> holder =
      serial::makePlatformPort(&component::libraryPortDevices());
  holder->CommPort(kPortNumber);
  holder->PortOpen(true);
  int16_t machine = kMachine;
  DateTime date{2001, 6, 29};
  int16_t weekday = 5;

  EXPECT_FALSE(object.OpenLock(kMachine));
  EXPECT_EQ(object.GetLockState(kMachine), -1);
  EXPECT_FALSE(object.SetMacDateAndWeek(machine, date, weekday));
  holder->PortOpen(false);

  EXPECT_EQ(reported, (std::vector<int32_t>{61206, 61206, 61206}));
  EXPECT_TRUE(sim.frames().empty());
  EXPECT_EQ(terminalState().lockOpened, 0);
}

}  // namespace
}  // namespace solvard::integration
