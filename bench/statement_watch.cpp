// What the watch of a PostgreSQL session adds to a call that returns in time: arming and
// disarming the watchdog, with the thread asleep until a deadline far ahead, as in a download.
#include "db/statement_watch.hpp"

#include <benchmark/benchmark.h>

#include <chrono>

namespace {

using namespace std::chrono_literals;

void WatchArmAndDisarm(benchmark::State& state) {
  solvard::db::Watchdog watchdog;
  // Another session's call in flight: the thread sleeps until its deadline.
  const uint64_t other = watchdog.arm(35s, [] {});
  for (auto _ : state) {
    const uint64_t call = watchdog.arm(35s, [] {});
    benchmark::DoNotOptimize(watchdog.disarm(call));
  }
  watchdog.disarm(other);
}
BENCHMARK(WatchArmAndDisarm);

}  // namespace
