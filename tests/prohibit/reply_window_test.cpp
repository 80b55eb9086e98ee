#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "component/prohibit_clock.hpp"
#include "component/prohibit_commands.hpp"
#include "component/prohibit_open_list.hpp"
#include "prohibit/clock_commands.hpp"
#include "prohibit/open_list.hpp"
#include "prohibit/simple_commands.hpp"
#include "prohibit_fixture.hpp"

namespace solvard::prohibit::testing {
namespace {

// A command with the whole seconds it waits for the acknowledgement.
struct Waiting {
  const char* name;
  std::function<bool()> run;
  int timeoutSeconds;
};

const std::vector<Waiting>& waitingCommands() {
  static const std::vector<Waiting> commands = {
      {"SetResetDelay",
       [] {
         int16_t time = 10;
         return SetResetDelay(3, time);
       },
       3},
      {"OpenLock", [] { return OpenLock(3); }, 1},
      {"GetLockState", [] { return GetLockState(3) == 1; }, 1},
      {"SetMacTime", [] { return SetMacTime(3, "13:05:09"); }, 1},
      {"SetMacDateAndWeek",
       [] {
         return SetMacDateAndWeek(3, {2001, 6, 29}, 5);
       },
       1},
      {"DeleteLockList",
       [] {
         std::string card = "12345";
         return DeleteLockList(3, card);
       },
       1},
  };
  return commands;
}

// Where within its whole second the wait begins decides whether it gives up nearer T or T + 1.
const std::chrono::nanoseconds kStarts[] = {5000s,         5000s + 10ms,  5000s + 499ms,
                                            5000s + 500ms, 5000s + 501ms, 5000s + 990ms};

class ReplyWindow : public ProhibitTest, public ::testing::WithParamInterface<Waiting> {};

TEST_P(ReplyWindow, GivesUpBetweenItsTimeoutAndOneSecondLater) {
  const Waiting& command = GetParam();
  const std::chrono::nanoseconds timeout = std::chrono::seconds(command.timeoutSeconds);
  for (const auto start : kStarts) {
    SCOPED_TRACE(start.count());
    clock.set(start);
    EXPECT_FALSE(command.run());
    const auto waited = clock.now() - start;
    EXPECT_GE(waited, timeout);
    EXPECT_LE(waited, timeout + 1s);
  }
}

TEST_P(ReplyWindow, AcceptsAnAcknowledgementJustInsideItsTimeout) {
  const Waiting& command = GetParam();
  const auto inside = std::chrono::seconds(command.timeoutSeconds) - 100ms;
  for (const auto start : kStarts) {
    SCOPED_TRACE(start.count());
    clock.set(start);
    answer({3, 2}, inside);
    EXPECT_TRUE(command.run());
  }
}

TEST_P(ReplyWindow, NeverSeesAnAcknowledgementAfterOneSecondMore) {
  const Waiting& command = GetParam();
  const auto late = std::chrono::seconds(command.timeoutSeconds) + 1s + 10ms;
  for (const auto start : kStarts) {
    SCOPED_TRACE(start.count());
    clock.set(start);
    answer({3, 2}, late);
    EXPECT_FALSE(command.run());
  }
  EXPECT_FALSE(port->lostAfterClose().empty());
}

INSTANTIATE_TEST_SUITE_P(Commands, ReplyWindow, ::testing::ValuesIn(waitingCommands()),
                         [](const auto& info) { return std::string(info.param.name); });

using ResetDelayWait = ProhibitTest;

// The reset delay alone waits three seconds: an acknowledgement after 2.5 s still counts for it
// and not for the lock.
TEST_F(ResetDelayWait, WaitsLongerThanTheOtherCommands) {
  int16_t time = 10;
  answer({3, 2}, 2500ms);
  EXPECT_TRUE(SetResetDelay(3, time));
  answer({3, 2}, 2500ms);
  EXPECT_FALSE(OpenLock(3));
}

}  // namespace
}  // namespace solvard::prohibit::testing
