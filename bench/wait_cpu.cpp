// What a reply wait costs the host: CPU time of the whole process while a command waits out
// a 2-second limit over a pseudo-terminal, against the simulator, in real time.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <chrono>

#include "component/library_line.hpp"
#include "serial/link.hpp"
#include "serial/shared_port.hpp"
#include "simulator/simulator.hpp"

namespace {

using namespace std::chrono_literals;
using namespace solvard;

constexpr int16_t kPortNumber = 9;

double cpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// state.range(0): 0 = the terminal stays silent, 1 = it sends one byte of the two awaited, so
// the wait runs with bytes waiting that are not enough.
void ReplyWaitCpu(benchmark::State& state) {
  simulator::Simulator sim;
  auto& terminal = sim.addScripted(simulator::TerminalKind::AccessControl, 3);
  if (state.range(0) == 0) {
    terminal.inject(simulator::Fault::silence(), simulator::FaultSchedule::every());
  } else {
    terminal.inject(simulator::Fault::partial(1), simulator::FaultSchedule::every());
  }
  sim.start();
  component::mapPortDevice(kPortNumber, sim.path());
  auto port = serial::makePlatformPort(&component::libraryPortDevices());
  serial::Link link(serial::LinkServices{*port, serial::steadyClock(), [] {}, {}});
  if (link.OpenPort({kPortNumber, "9600,N,8,1", 1024, 512}) != serial::OpenResult::Opened) {
    state.SkipWithError("port did not open");
    return;
  }
  const serial::WaitRule exactly{serial::WaitRule::Reading::Fractions,
                                 serial::WaitRule::Expiry::Reaches};
  double cpu = 0;
  double wall = 0;
  int timeouts = 0;
  const uint8_t frame[] = {3, 0x11};
  for (auto _ : state) {
    link.ClearBuffers();
    const double cpuBefore = cpuSeconds();
    const auto wallBefore = std::chrono::steady_clock::now();
    link.SendFrame(frame);
    timeouts += link.awaitReply(2, 2, exactly) == serial::WaitResult::TimedOut;
    cpu += cpuSeconds() - cpuBefore;
    wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - wallBefore).count();
  }
  link.ClosePort();
  component::unmapPortDevice(kPortNumber);
  state.counters["cpu_percent"] = 100 * cpu / wall;
  state.counters["cpu_ms_per_wait"] = 1000 * cpu / static_cast<double>(state.iterations());
  state.counters["timeouts"] = timeouts;
}

BENCHMARK(ReplyWaitCpu)
    ->ArgName("partial")
    ->Arg(0)
    ->Arg(1)
    ->Iterations(3)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

}  // namespace
