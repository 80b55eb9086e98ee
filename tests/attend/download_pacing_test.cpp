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
  int needed;
  int streamed;
  int waiting;
  std::chrono::microseconds pause;
  std::chrono::milliseconds longest = 5ms;
  std::chrono::milliseconds deadline = 1000ms;  // from the pass
};

class PassPause : public ::testing::TestWithParam<PauseCase> {};

// A pass sleeps through the line time of the bytes still missing of what is streamed (10 bit
// times each), never past the wait's deadline nor the longest pause, and
// not at all once the wait has what it needs or when a single byte is all that is coming.
TEST_P(PassPause, IsTheLineTimeOfTheMissingBytesUpToTheLimit) {
  const PauseCase& c = GetParam();
  serial::ManualClock clock;
  serial::ScriptedPort port(clock);
  PacedPort paced(port, c.baud, c.longest);
  const auto now = PacedPort::Clock::now();
  paced.awaiting(c.needed, c.streamed, now + c.deadline);
  EXPECT_EQ(paced.pause(c.waiting, now), c.pause);
}

INSTANTIATE_TEST_SUITE_P(
    Download, PassPause,
    ::testing::Values(PauseCase{"EightBytesAt19200", 19200, 9, 0, 1, 4166us},
                      PauseCase{"NineBytesAt19200", 19200, 9, 0, 0, 4687us},
                      PauseCase{"TwoBytesAt9600", 9600, 9, 0, 7, 2083us},
                      PauseCase{"CappedAtTheLongestPause", 9600, 9, 0, 1, 5000us},
                      PauseCase{"CappedAtTheDeadline", 9600, 1, 80, 0, 10000us, 50ms, 10ms},
                      PauseCase{"DeadlinePassed", 9600, 1, 80, 0, 0us, 50ms, 0ms},
                      PauseCase{"EightRecordsAt19200", 19200, 1, 80, 0, 41666us, 50ms},
                      PauseCase{"CountBytes", 19200, 2, 0, 0, 1041us},
                      PauseCase{"RecordStreamedBehindItsFirstByte", 19200, 1, 10, 0, 5000us},
                      PauseCase{"WholeRecordAt32000", 32000, 1, 10, 0, 3125us},
                      PauseCase{"FirstByteIn", 19200, 1, 10, 1, 0us},
                      PauseCase{"AllThere", 19200, 9, 0, 9, 0us},
                      PauseCase{"MoreThanAwaited", 19200, 2, 0, 12, 0us},
                      PauseCase{"SingleByte", 19200, 1, 0, 0, 0us},
                      PauseCase{"NoRate", 0, 9, 0, 0, 0us}),
    [](const auto& info) { return std::string(info.param.name); });

// While bytes are missing the pass sleeps instead of waiting on the port (whose wait moves the
// manual clock); what it counted and what was read since tell how many are missing.
TEST(PacedPort, SleepsThroughMissingBytesAndWaitsOnThePortOtherwise) {
  serial::ManualClock clock;
  serial::ScriptedPort port(clock);
  PacedPort paced(port, 19200, 5ms);
  paced.PortOpen(true);
  const auto deadline = PacedPort::Clock::now() + 3s;
  paced.awaiting(9, 9, deadline);

  const auto before = std::chrono::steady_clock::now();
  paced.waitForInput(5ms);
  EXPECT_GE(std::chrono::steady_clock::now() - before, 4687us);
  EXPECT_EQ(clock.now(), 0ns);

  port.arriveNow({1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
  EXPECT_EQ(paced.InBufferCount(), 10);
  paced.InputLen(1);
  EXPECT_EQ(paced.Input(), serial::Bytes{1});
  paced.waitForInput(5ms);  // nine known to wait: back at once, the wait counts them
  EXPECT_EQ(clock.now(), 0ns);

  paced.InputLen(9);
  EXPECT_EQ(paced.Input().size(), 9u);
  paced.awaiting(1, 1, deadline);
  paced.waitForInput(5ms);  // a single byte: the port's own wait
  EXPECT_EQ(clock.now(), 5ms);

  // Not paced (virtual time): every pass is the port's own wait.
  PacedPort plain(port, 0, 5ms);
  plain.awaiting(9, 9, deadline);
  plain.waitForInput(5ms);
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
