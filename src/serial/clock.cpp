#include "serial/clock.hpp"

namespace solvard::serial {

std::chrono::nanoseconds SteadyClock::now() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
      std::chrono::steady_clock::now().time_since_epoch());
}

SteadyClock& steadyClock() {
  static SteadyClock clock;
  return clock;
}

int64_t wholeSeconds(std::chrono::nanoseconds reading) {
  constexpr int64_t kSecond = 1'000'000'000;
  constexpr int64_t kHalf = kSecond / 2;
  const int64_t ns = reading.count();
  int64_t seconds = ns / kSecond;
  int64_t rest = ns % kSecond;
  if (rest < 0) {  // floor division, so negative readings round the same way
    rest += kSecond;
    --seconds;
  }
  if (rest > kHalf || (rest == kHalf && seconds % 2 != 0)) ++seconds;
  return seconds;
}

}  // namespace solvard::serial
