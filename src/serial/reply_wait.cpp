#include "serial/reply_wait.hpp"

#include "serial/clock.hpp"

namespace solvard::serial {

bool waitExpired(std::chrono::nanoseconds start, std::chrono::nanoseconds now, int limitSeconds,
                 const WaitRule& rule) {
  const bool reaches = rule.expiry == WaitRule::Expiry::Reaches;
  if (rule.reading == WaitRule::Reading::WholeSeconds) {
    const int64_t elapsed = wholeSeconds(now) - wholeSeconds(start);
    return reaches ? elapsed >= limitSeconds : elapsed > limitSeconds;
  }
  const std::chrono::nanoseconds elapsed = now - start;
  const std::chrono::nanoseconds limit = std::chrono::seconds(limitSeconds);
  return reaches ? elapsed >= limit : elapsed > limit;
}

}  // namespace solvard::serial
