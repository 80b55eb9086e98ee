#include <gtest/gtest.h>

#include "attend/paced_port.hpp"
#include "serial/clock.hpp"
#include "serial/scripted_port.hpp"

namespace solvard::attend {
namespace {

using namespace std::chrono_literals;

struct PauseCase {
  const char* name;
  int32_t baud;
  int awaiting;
  int waiting;
  std::chrono::microseconds pause;
};

class PassPause : public ::testing::TestWithParam<PauseCase> {};

// A pass sleeps through the line time of the bytes still missing (10 bit times each), never more
// than its limit, and not at all for a single byte or with nothing missing.
TEST_P(PassPause, IsTheLineTimeOfTheMissingBytesUpToTheLimit) {
  const PauseCase& c = GetParam();
  serial::ManualClock clock;
  serial::ScriptedPort port(clock);
  PacedPort paced(port, c.baud);
  paced.awaiting(c.awaiting);
  EXPECT_EQ(paced.pause(c.waiting, 5ms), c.pause);
}

INSTANTIATE_TEST_SUITE_P(Download, PassPause,
                         ::testing::Values(PauseCase{"EightBytesAt19200", 19200, 9, 1, 4166us},
                                           PauseCase{"NineBytesAt19200", 19200, 9, 0, 4687us},
                                           PauseCase{"TwoBytesAt9600", 9600, 9, 7, 2083us},
                                           PauseCase{"CappedAtTheLimit", 9600, 9, 1, 5000us},
                                           PauseCase{"CountBytes", 19200, 2, 0, 1041us},
                                           PauseCase{"AllThere", 19200, 9, 9, 0us},
                                           PauseCase{"MoreThanAwaited", 19200, 2, 12, 0us},
                                           PauseCase{"SingleByte", 19200, 1, 0, 0us},
                                           PauseCase{"NoRate", 0, 9, 0, 0us}),
                         [](const auto& info) { return std::string(info.param.name); });

// While bytes are missing the pass sleeps instead of waiting on the port (whose wait moves the
// manual clock); what it counted and what was read since tell how many are missing.
TEST(PacedPort, SleepsThroughMissingBytesAndWaitsOnThePortOtherwise) {
  serial::ManualClock clock;
  serial::ScriptedPort port(clock);
  PacedPort paced(port, 19200);
  paced.PortOpen(true);
  paced.awaiting(9);

  const auto before = std::chrono::steady_clock::now();
  paced.waitForInput(5ms);
  EXPECT_GE(std::chrono::steady_clock::now() - before, 4687us);
  EXPECT_EQ(clock.now(), 0ns);

  port.arriveNow({1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
  EXPECT_EQ(paced.InBufferCount(), 10);
  paced.InputLen(1);
  EXPECT_EQ(paced.Input(), serial::Bytes{1});
  paced.waitForInput(5ms);  // nine known to wait: all there
  EXPECT_EQ(clock.now(), 5ms);

  paced.InputLen(9);
  EXPECT_EQ(paced.Input().size(), 9u);
  paced.awaiting(1);
  paced.waitForInput(5ms);  // a single byte: the port's own wait
  EXPECT_EQ(clock.now(), 10ms);
}

TEST(BaudRateOf, ReadsTheRateOfASettingsText) {
  EXPECT_EQ(baudRateOf("19200,N,8,1"), 19200);
  EXPECT_EQ(baudRateOf("9600"), 9600);
  EXPECT_EQ(baudRateOf(",N,8,1"), 0);
  EXPECT_EQ(baudRateOf(""), 0);
}

}  // namespace
}  // namespace solvard::attend
