#include <string>
#include <vector>

#include "component/prohibit_commands.hpp"
#include "prohibit/simple_commands.hpp"
#include "prohibit_fixture.hpp"

namespace solvard::prohibit::testing {
namespace {

struct Adjustment {
  int16_t given;
  int16_t adjusted;  // sent, and left in the caller's variable
  const char* frame;
};

using ResetDelayAdjustment = ProhibitTest;

TEST_F(ResetDelayAdjustment, SendsAndWritesBackTheDelayTheTerminalTakes) {
  const Adjustment cases[] = {
      {0, 5, "03 02 05"},     {-7, 5, "03 02 05"},    {-32768, 5, "03 02 05"},
      {1, 1, "03 02 01"},     {30, 30, "03 02 1E"},   {255, 255, "03 02 FF"},
      {256, 255, "03 02 FF"}, {300, 255, "03 02 FF"}, {32767, 255, "03 02 FF"},
  };
  for (const Adjustment& c : cases) {
    SCOPED_TRACE(c.given);
    answer({3, 2});
    int16_t time = c.given;
    EXPECT_TRUE(SetResetDelay(3, time));
    EXPECT_EQ(time, c.adjusted);
    EXPECT_EQ(serial::hexBytes(port->framesWritten().back()), c.frame);
  }
}

using LockModeAdjustment = ProhibitTest;

TEST_F(LockModeAdjustment, SendsAndWritesBackEither255Or0) {
  const Adjustment cases[] = {
      {255, 255, "03 03 FF"}, {1, 0, "03 03 00"},   {0, 0, "03 03 00"},
      {-1, 0, "03 03 00"},    {254, 0, "03 03 00"}, {256, 0, "03 03 00"},
  };
  for (const Adjustment& c : cases) {
    SCOPED_TRACE(c.given);
    answer({3, 2});
    int16_t mode = c.given;
    EXPECT_TRUE(SetLockMode(3, mode));
    EXPECT_EQ(mode, c.adjusted);
    EXPECT_EQ(serial::hexBytes(port->framesWritten().back()), c.frame);
  }
}

using WriteBack = ProhibitTest;

// The caller's variable holds the adjusted value whatever happens after the adjustment.
TEST_F(WriteBack, HappensWhenNothingReachesTheTerminal) {
  int16_t time = -7;
  int16_t mode = 1;
  port->failOpen();
  EXPECT_FALSE(SetResetDelay(3, time));
  EXPECT_FALSE(SetLockMode(3, mode));
  EXPECT_EQ(time, 5);
  EXPECT_EQ(mode, 0);

  time = 300;
  mode = 7;
  EXPECT_FALSE(SetResetDelay(256, time));
  EXPECT_FALSE(SetLockMode(-1, mode));
  EXPECT_EQ(time, 255);
  EXPECT_EQ(mode, 0);
  EXPECT_TRUE(port->framesWritten().empty());
}

}  // namespace
}  // namespace solvard::prohibit::testing
