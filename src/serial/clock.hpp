#pragma once

#include <chrono>
#include <cstdint>

namespace solvard::serial {

// The time a reply wait measures. Monotonic, so a wait that spans midnight (or a change of the
// wall clock) still ends after its timeout.
class Clock {
 public:
  virtual ~Clock() = default;
  // Time since an arbitrary fixed point.
  virtual std::chrono::nanoseconds now() = 0;
};

// The machine's monotonic clock.
class SteadyClock final : public Clock {
 public:
  std::chrono::nanoseconds now() override;
};

// Virtual time for tests and simulations: it moves only when told to.
class ManualClock final : public Clock {
 public:
  explicit ManualClock(std::chrono::nanoseconds start = {}) : now_(start) {}
  std::chrono::nanoseconds now() override { return now_; }
  void advance(std::chrono::nanoseconds by) { now_ += by; }
  void set(std::chrono::nanoseconds to) { now_ = to; }

 private:
  std::chrono::nanoseconds now_;
};

SteadyClock& steadyClock();

// A reading rounded to the nearest whole second, a value exactly halfway going to the even
// neighbour: the terminals' timeouts are counted in such whole seconds.
int64_t wholeSeconds(std::chrono::nanoseconds reading);

}  // namespace solvard::serial
