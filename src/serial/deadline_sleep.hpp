#pragma once

#include <chrono>

namespace solvard::serial {

// Sleeps until `deadline` has passed on the steady clock, never returning before it. The C++
// library's own sleeps may end early on some platforms (MinGW-w64's return up to a millisecond
// short, as Windows' timer ticks), which would turn a wait measured on the clock into a busy
// loop or end it before its bound; this one sleeps again for what is left.
void sleepUntil(std::chrono::steady_clock::time_point deadline);

// Sleeps for at least `span`, measured on the steady clock.
void sleepFor(std::chrono::steady_clock::duration span);

}  // namespace solvard::serial
