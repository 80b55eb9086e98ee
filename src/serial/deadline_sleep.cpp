#include "serial/deadline_sleep.hpp"

#include <thread>

namespace solvard::serial {

void sleepUntil(std::chrono::steady_clock::time_point deadline) {
  for (auto now = std::chrono::steady_clock::now(); now < deadline;
       now = std::chrono::steady_clock::now()) {
    std::this_thread::sleep_for(deadline - now);
  }
}

void sleepFor(std::chrono::steady_clock::duration span) {
  sleepUntil(std::chrono::steady_clock::now() + span);
}

}  // namespace solvard::serial
