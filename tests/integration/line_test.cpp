#include <numeric>

#include "automation/error.hpp"
#include "component/library_line.hpp"
#include "serial/exchange.hpp"
#include "serial/host_link.hpp"
#include "simulator_fixture.hpp"
#include "support/serial/open_lock_exchange.hpp"

namespace solvard::integration {
namespace {

using serial::Bytes;
using serial::Ending;
using simulator::Fault;
using simulator::LoggedFrame;
using simulator::TerminalKind;

class EchoLine : public SimulatorTest {
 protected:
  EchoLine() : SimulatorTest({.echo = true}) {}
};

// No byte value is lost, added or changed on the way out or back.
TEST_F(EchoLine, AllByteValuesBothWays) {
  Bytes all(256);
  std::iota(all.begin(), all.end(), 0);
  serial::Link link = makeLink();
  ASSERT_EQ(link.OpenPort(setup), serial::OpenResult::Opened);
  link.ClearBuffers();
  link.SendFrame(all);
  ASSERT_EQ(link.AwaitReply(256, 2), serial::WaitResult::Arrived);
  EXPECT_EQ(link.ReadReply(256), all);
  link.ClosePort();

  ASSERT_TRUE(sim.waitForFrames(1, 1s));
  Bytes received;
  for (const LoggedFrame& frame : sim.frames()) {
    received.insert(received.end(), frame.bytes.begin(), frame.bytes.end());
  }
  EXPECT_EQ(received, all);
}

struct FaultCase {
  const char* name;
  std::vector<Fault> faults;
  Ending ending;
  Bytes reply;
};

class FaultyTerminal : public SimulatorTest, public ::testing::WithParamInterface<FaultCase> {};

// Each exchange runs twice on the same line: the line outlives the port's close, and a fault
// spoils only the reply it was given for.
TEST_P(FaultyTerminal, EndsTheExchangeAsItsReplyDeserves) {
  const FaultCase& c = GetParam();
  auto& terminal = sim.addScripted(TerminalKind::AccessControl, 3);
  for (const Fault& fault : c.faults) terminal.inject(fault);

  serial::Link link = makeLink();
  const serial::ExchangeResult spoiled =
      serial::runExchange(link, serial::openLockExchange(kPortNumber));
  EXPECT_EQ(spoiled.ending, c.ending);
  EXPECT_EQ(spoiled.reply, c.reply);
  const serial::ExchangeResult clean =
      serial::runExchange(link, serial::openLockExchange(kPortNumber));
  EXPECT_EQ(clean.ending, Ending::Success);
  EXPECT_EQ(clean.reply, (Bytes{3, 2}));

  const auto frames = sim.frames();
  ASSERT_EQ(frames.size(), 2u);
  for (const LoggedFrame& frame : frames) {
    EXPECT_EQ(frame.bytes, (Bytes{3, 0x11}));
    EXPECT_EQ(frame.fate, LoggedFrame::Fate::Answered);
  }
  EXPECT_TRUE(reported.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Faults, FaultyTerminal,
    ::testing::Values(
        FaultCase{"None", {}, Ending::Success, {3, 2}},
        FaultCase{"Late", {Fault::delayed(300ms)}, Ending::Success, {3, 2}},
        FaultCase{"ExtraBytes", {Fault::extraBytes({7, 7, 7})}, Ending::Success, {3, 2}},
        FaultCase{"WrongMachine", {Fault::wrongMachine(4)}, Ending::WrongReply, {4, 2}},
        FaultCase{"Garbage", {Fault::garbage({0xFF, 0x00})}, Ending::WrongReply, {0xFF, 0x00}},
        FaultCase{"Partial", {Fault::partial(1)}, Ending::Timeout, {}},
        FaultCase{"Silence", {Fault::silence()}, Ending::Timeout, {}}),
    [](const auto& info) { return std::string(info.param.name); });

// Bytes for a machine nobody plays are dropped at the next pause; the frame after is answered.
TEST_F(SimulatorTest, FramesForNobodyAreDroppedAndTheLineResyncs) {
  sim.addScripted(TerminalKind::AccessControl, 3);
  serial::Link link = makeLink();
  ASSERT_EQ(link.OpenPort(setup), serial::OpenResult::Opened);
  link.SendFrame(Bytes{9, 0x11, 0x42});
  ASSERT_TRUE(sim.waitForFrames(1, 1s));
  EXPECT_EQ(serial::runExchange(link, serial::openLockExchange(kPortNumber)).ending,
            Ending::Success);
  const auto frames = sim.frames();
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[0].bytes, (Bytes{9, 0x11, 0x42}));
  EXPECT_EQ(frames[0].fate, LoggedFrame::Fate::Unaddressed);
  EXPECT_EQ(frames[1].bytes, (Bytes{3, 0x11}));
}

// The line closing mid-reply leaves the command a timeout, and the port closes cleanly.
TEST_F(SimulatorTest, LineVanishingMidReplyIsATimeout) {
  auto& terminal = sim.addScripted(TerminalKind::AccessControl, 3);
  terminal.inject(Fault::partial(1));
  terminal.inject(Fault::lineVanishes());
  serial::Link link = makeLink();
  EXPECT_EQ(serial::runExchange(link, serial::openLockExchange(kPortNumber)).ending,
            Ending::Timeout);
  EXPECT_TRUE(sim.lineVanished());
  EXPECT_FALSE(port->PortOpen());
}

struct Refusal {
  const char* name;
  serial::PortSetup setup;
  int32_t number;
};

class RefusedAtApply : public SimulatorTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(RefusedAtApply, RaisesBeforeAnythingIsSent) {
  const Refusal& c = GetParam();
  serial::Link link = makeLink();
  try {
    link.OpenPort(c.setup);
    FAIL() << "accepted";
  } catch (const detail::Fault& fault) {
    const automation::AutomationError error = automation::asAutomationError(fault);
    EXPECT_EQ(error.number(), c.number);
  }
  EXPECT_FALSE(port->PortOpen());
  EXPECT_TRUE(reported.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Settings, RefusedAtApply,
    ::testing::Values(Refusal{"PortZero", {0, "9600,N,8,1", 1024, 512}, 8002},
                      Refusal{"SettingsText", {kPortNumber, "abc", 1024, 512}, 380},
                      Refusal{"RateZero", {kPortNumber, "0,N,8,1", 1024, 512}, 380},
                      Refusal{"InBuffer40000", {kPortNumber, "9600,N,8,1", 40000, 512}, 6}),
    [](const auto& info) { return std::string(info.param.name); });

// A port held by another open cannot be opened until it is let go.
TEST_F(SimulatorTest, PortHeldByAnotherOpenFailsToOpen) {
  auto holder = serial::makePlatformPort(&component::libraryPortDevices());
  holder->CommPort(kPortNumber);
  holder->PortOpen(true);
  {
    serial::Link link = makeLink();
    EXPECT_EQ(link.OpenPort(setup), serial::OpenResult::CannotOpen);
  }
  EXPECT_EQ(reported, (std::vector<int32_t>{61206}));
  holder->PortOpen(false);
  serial::Link link = makeLink();
  EXPECT_EQ(link.OpenPort(setup), serial::OpenResult::Opened);
}

// The library's own port and the host's hooks: a device that is not there is reported once.
TEST(MissingDevice, OpenFailureIsReportedThroughTheHostsReporter) {
  std::vector<int32_t> reported;
  component::libraryHooks().reporter = [&](int32_t n) { reported.push_back(n); };
  component::mapPortDevice(kPortNumber, "/nonexistent/solvard-tty");
  {
    serial::Link link = component::commandLink();
    EXPECT_EQ(serial::runExchange(link, serial::openLockExchange(kPortNumber)).ending,
              Ending::PortFailure);
  }
  component::unmapPortDevice(kPortNumber);
  component::libraryHooks().reporter = nullptr;
  EXPECT_EQ(reported, (std::vector<int32_t>{61206}));
  EXPECT_FALSE(component::sharedPort().PortOpen());
}

}  // namespace
}  // namespace solvard::integration
