// A door terminal played by the simulator on a pseudo-terminal, which the runner maps to a COM
// port of the Wine prefix (SOLVARD_WINE_SIM_COM=n for COMn, the simulator started with
// `solvard simulate --door 3 --link PATH`): the Win32 port opens it, sets it up, writes the
// command frames and waits for the replies through Wine's comm calls. Windows only.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include "component/prohibit.hpp"
#include "serial/shared_port.hpp"

namespace solvard::component {
namespace {

constexpr int16_t kMachine = 3;

class SimulatorLineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* number = std::getenv("SOLVARD_WINE_SIM_COM");
    if (number == nullptr || *number == '\0') {
      GTEST_SKIP() << "SOLVARD_WINE_SIM_COM is not set: no port is mapped to a simulated line";
    }
    port_ = static_cast<int16_t>(std::atoi(number));
    ASSERT_GT(port_, 0) << number;
    object_.setCommPortID(port_);
  }

  int16_t port_ = 0;
  Prohibit object_;
};

// Each command opens the port, exchanges its frames and closes it again: three in a row show
// that the port is set up, read and written anew each time.
TEST_F(SimulatorLineTest, ADoorTerminalAnswersItsCommands) {
  EXPECT_TRUE(object_.OpenLock(kMachine));
  EXPECT_EQ(object_.GetLockState(kMachine), 1);
  EXPECT_TRUE(object_.ClearOpenRecord(kMachine));
}

// The port itself: the frame goes out as given, the terminal's reply comes back byte for byte,
// taken `InputLen` at a time, and the waits return once it is in rather than at their limits.
TEST_F(SimulatorLineTest, TheReplyComesBackByteForByte) {
  using Clock = std::chrono::steady_clock;
  using namespace std::chrono_literals;
  auto port = serial::makePlatformPort();
  port->CommPort(port_);
  port->Settings("9600,N,8,1");
  port->PortOpen(true);
  ASSERT_TRUE(port->PortOpen());
  EXPECT_EQ(port->InBufferCount(), 0);
  // A change of the settings while open goes to the device at once.
  port->Settings("19200,N,8,1");
  port->Settings("9600,N,8,1");
  const serial::Bytes query = {kMachine, 0x11};  // the lock's state
  port->Output(query);
  const auto deadline = Clock::now() + 5s;
  int waits = 0;
  while (port->InBufferCount() < 2 && Clock::now() < deadline) {
    port->waitForInput(1s);
    ++waits;
  }
  // Two bytes, each ending a wait at the latest: far fewer waits than the limit allows.
  EXPECT_LE(waits, 3);
  port->InputLen(1);
  EXPECT_EQ(port->Input(), (serial::Bytes{kMachine}));
  port->InputLen(0);
  EXPECT_EQ(port->Input(), (serial::Bytes{0x02}));
  EXPECT_EQ(port->InBufferCount(), 0);
  port->InBufferCount(0);
  port->OutBufferCount(0);
  port->PortOpen(false);
  EXPECT_FALSE(port->PortOpen());
  EXPECT_EQ(port->openFailure(), std::nullopt);
}

}  // namespace
}  // namespace solvard::component
