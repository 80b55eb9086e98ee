// A door terminal played by the simulator on a pseudo-terminal, which the runner maps to a COM
// port of the Wine prefix (SOLVARD_WINE_SIM_COM=n for COMn, the simulator started with
// `solvard simulate --door 3 --link PATH`): the Win32 port opens it, sets it up, writes the
// command frames and waits for the replies through Wine's comm calls. Windows only.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "component/prohibit.hpp"

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

}  // namespace
}  // namespace solvard::component
