#pragma once

#include <chrono>

namespace solvard::serial {

// How a reply wait measures its limit. The plain reply wait reads whole seconds, gives up when
// the elapsed time exceeds the limit and tests the clock before the count; some exchanges of
// the terminals differ in one of these points.
struct WaitRule {
  enum class Reading { WholeSeconds, Fractions };
  enum class Expiry { Exceeds, Reaches };
  enum class Order { ClockFirst, CountFirst };

  Reading reading = Reading::WholeSeconds;
  Expiry expiry = Expiry::Exceeds;
  Order order = Order::ClockFirst;
};

enum class WaitResult { Arrived, TimedOut };

// Whether a wait begun at `start` has run out of its `limit` seconds at `now`.
bool waitExpired(std::chrono::nanoseconds start, std::chrono::nanoseconds now, int limitSeconds,
                 const WaitRule& rule);

}  // namespace solvard::serial
