#pragma once

#include <chrono>

#include "solvard/values.hpp"

namespace solvard::detail {

// A terminal's wall-clock reading taken apart into what its commands send.
struct WallClockParts {
  Date date;
  TimeOfDay time;
  std::chrono::weekday weekday;
};

// Refused: a day outside the years the terminals can hold.
inline Result<WallClockParts> splitWallClock(std::chrono::local_seconds wallClock) {
  using namespace std::chrono;
  const local_days day = floor<days>(wallClock);
  const hh_mm_ss<seconds> time{wallClock - day};
  auto date = Date::make(year_month_day{day});
  if (!date) return date.error();
  auto clock = TimeOfDay::make(static_cast<int>(time.hours().count()),
                               static_cast<int>(time.minutes().count()),
                               static_cast<int>(time.seconds().count()));
  if (!clock) return clock.error();
  return WallClockParts{*date, *clock, weekday{day}};
}

}  // namespace solvard::detail
