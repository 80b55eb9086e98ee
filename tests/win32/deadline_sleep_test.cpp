// The sleep that the waits measured on the clock rely on: it never ends before its deadline,
// also where the C++ library's sleep does (MinGW-w64's may end a millisecond early).
#include "serial/deadline_sleep.hpp"

#include <gtest/gtest.h>

#include <chrono>

namespace solvard::serial {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

TEST(DeadlineSleepTest, NeverEndsBeforeTheDeadline) {
  for (const auto span : {1ms, 2ms, 3ms, 7ms, 15ms, 16ms, 17ms, 30ms}) {
    for (int i = 0; i < 5; ++i) {
      const auto deadline = Clock::now() + span;
      sleepUntil(deadline);
      EXPECT_GE(Clock::now(), deadline) << span.count() << " ms";
      const auto began = Clock::now();
      sleepFor(span);
      EXPECT_GE(Clock::now() - began, span) << span.count() << " ms";
    }
  }
}

TEST(DeadlineSleepTest, APassedDeadlineReturnsAtOnce) {
  const auto began = Clock::now();
  sleepUntil(began - 1s);
  sleepFor(-5ms);
  sleepFor(0ms);
  EXPECT_LT(Clock::now() - began, 50ms);
}

}  // namespace
}  // namespace solvard::serial
