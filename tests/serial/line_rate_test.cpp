#include "serial/posix/line_rate.hpp"

#include <gtest/gtest.h>
#include <termios.h>

#include <memory>
#include <string>

#include "automation/error.hpp"
#include "serial/port_devices.hpp"
#include "serial/shared_port.hpp"
#include "support/pty_pair.hpp"

namespace solvard::serial::testing {
namespace {

// The library's port on a pseudo-terminal; the far end reads the rate the near end runs at.
class LineRateTest : public ::testing::Test {
 protected:
  static constexpr int16_t kPort = 42;

  void SetUp() override {
    devices.map(kPort, pty.path());
    port->CommPort(kPort);
  }

  std::optional<uint32_t> farEndRate() const { return posix::lineRate(pty.farEnd()); }
  // How many bytes the line must hold before a wait on it is woken (VMIN; the master end
  // reads the terminal's settings).
  int reportAt() const {
    termios tio{};
    return ::tcgetattr(pty.farEnd(), &tio) == 0 ? tio.c_cc[VMIN] : -1;
  }

  solvard::testing::PtyPair pty;
  PortDevices devices;
  std::unique_ptr<PortControl> port = makePlatformPort(&devices);
};

// Rates between termios's fixed speeds reach the line as well as the fixed ones.
TEST_F(LineRateTest, EveryRateReachesTheLineAtOpen) {
  for (const uint32_t rate : {14400u, 28800u, 9600u, 1u, 250u, 32767u}) {
    port->Settings(std::to_string(rate) + ",N,8,1");
    port->PortOpen(true);
    EXPECT_EQ(farEndRate(), rate);
    port->PortOpen(false);
  }
}

TEST_F(LineRateTest, ARateSetWhileOpenReachesTheLineAtOnce) {
  port->Settings("14400,N,8,1");
  port->PortOpen(true);
  port->Settings("28800,E,7,2");
  EXPECT_EQ(farEndRate(), 28800u);
  port->Settings("9600,N,8,1");
  EXPECT_EQ(farEndRate(), 9600u);
}

// A wait for the rest of a reply is woken once all of it is in, not at each byte: at most 255,
// the most the line can count. New settings start from waking at any byte again.
TEST_F(LineRateTest, AWaitForBytesIsWokenOnlyOnceTheyAreAllIn) {
  port->PortOpen(true);
  for (const auto& [wanted, expected] :
       {std::pair{13, 13}, {3, 3}, {3, 3}, {1, 1}, {0, 1}, {400, 255}, {10, 10}}) {
    port->waitForBytes(std::chrono::milliseconds(0), static_cast<std::size_t>(wanted));
    EXPECT_EQ(reportAt(), expected) << "waiting for " << wanted;
  }
  port->Settings("9600,N,8,1");
  EXPECT_EQ(reportAt(), 0);
  port->waitForBytes(std::chrono::milliseconds(0), 10);
  EXPECT_EQ(reportAt(), 10);
}

// What the port refuses before it knows the device: the settings text itself.
TEST_F(LineRateTest, ASettingsTextThatIsNoRateIsRefusedAndTheRateKept) {
  port->Settings("14400,N,8,1");
  port->PortOpen(true);
  for (const char* text : {"0,N,8,1", "-14400,N,8,1", "fast,N,8,1", "99999999999,N,8,1"}) {
    try {
      port->Settings(text);
      ADD_FAILURE() << text << " accepted";
    } catch (const detail::Fault& fault) {
      const automation::AutomationError error = automation::asAutomationError(fault);
      EXPECT_EQ(error.number(), 380) << text;
    }
    EXPECT_EQ(farEndRate(), 14400u) << text;
  }
}

TEST(LineRateJudgement, ADeviceRunsAtARateWithinTwoPercentOfIt) {
  struct Case {
    uint32_t asked;
    uint32_t reported;
    bool runs;
  } cases[] = {
      {14400, 14400, true}, {14400, 14688, true},  {14400, 14112, true}, {14400, 14689, false},
      {14400, 9600, false}, {28800, 38400, false}, {1, 1, true},         {1, 9600, false},
      {49, 50, false},      {50, 51, true},        {32767, 0, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(posix::runsAt(c.asked, c.reported), c.runs) << c.asked << " vs " << c.reported;
  }
}

}  // namespace
}  // namespace solvard::serial::testing
