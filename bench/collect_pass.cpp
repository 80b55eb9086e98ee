// Throughput of one collect pass over many lines at once: 8 lines, each with 2 attendance and 2
// door terminals holding SOLVARD_BENCH_COLLECT_RECORDS records each (default 1000), served as
// fast as the pseudo-terminals carry them, into a fresh SQLite file. Each line runs on its own
// thread with its own connection, so the file's one writer at a time is what the lines share;
// `records_per_s` is every record stored divided by the pass's time.
#include "collect_pass.hpp"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "simulator/access_terminal.hpp"
#include "simulator/attend_terminal.hpp"
#include "simulator/simulator.hpp"

namespace {

using namespace solvard;

constexpr int kLines = 8;
constexpr int kAttendPerLine = 2;
constexpr int kDoorsPerLine = 2;

int recordsPerTerminal() {
  const char* text = std::getenv("SOLVARD_BENCH_COLLECT_RECORDS");
  return text != nullptr && *text != '\0' ? std::atoi(text) : 1000;
}

// Terminals of a line, the door records distinct by card so that each is stored.
std::unique_ptr<simulator::Simulator> lineOfTerminals(int records) {
  auto sim = std::make_unique<simulator::Simulator>();
  for (int t = 0; t < kAttendPerLine; ++t) {
    sim->add(std::make_unique<simulator::AttendTerminal>(static_cast<uint8_t>(1 + t)))
        .storeRecords(simulator::sampleRecords(records, static_cast<uint32_t>(t + 1)));
  }
  for (int t = 0; t < kDoorsPerLine; ++t) {
    auto& door =
        sim->add(std::make_unique<simulator::AccessTerminal>(static_cast<uint8_t>(11 + t)));
    for (int i = 0; i < records; ++i) {
      door.store(simulator::accessRecord(std::to_string(1000000000 + i), 26, 1 + i / 2000 % 12,
                                         1 + i / 100 % 28, i / 60 % 24, i % 60));
    }
  }
  sim->start();
  return sim;
}

void CollectPass(benchmark::State& state) {
  const int records = recordsPerTerminal();
  std::random_device random;
  const std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                       ("solvard_bench_collect_" + std::to_string(random()));
  int stored = 0;
  double seconds = 0;
  for (auto _ : state) {
    state.PauseTiming();
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    std::vector<std::unique_ptr<simulator::Simulator>> sims;
    tool::CollectConfig config;
    config.database = (folder / "collect.db").string();
    for (int l = 0; l < kLines; ++l) {
      sims.push_back(lineOfTerminals(records));
      tool::CollectLine line;
      line.name = "L" + std::to_string(l);
      line.port = sims.back()->path();
      for (int t = 0; t < kAttendPerLine + kDoorsPerLine; ++t) {
        tool::CollectTerminal terminal;
        const bool attend = t < kAttendPerLine;
        terminal.kind = attend ? tool::TerminalKind::attend : tool::TerminalKind::door;
        terminal.machine = static_cast<uint8_t>(attend ? 1 + t : 11 + t - kAttendPerLine);
        terminal.warnAbove = tool::kDefaultWarnAbove;
        line.terminals.push_back(terminal);
      }
      config.lines.push_back(std::move(line));
    }
    state.ResumeTiming();
    const auto start = std::chrono::steady_clock::now();
    const tool::PassOutcome pass = tool::runCollectPass(config, {});
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.PauseTiming();
    for (const tool::TerminalOutcome& outcome : pass.terminals) {
      if (outcome.error) {
        state.SkipWithError(("line " + outcome.line + " terminal " +
                             std::to_string(outcome.machine) + ": " + outcome.error->message())
                                .c_str());
      }
      stored += outcome.records;
    }
    for (auto& sim : sims) sim->stop();
    state.ResumeTiming();
  }
  std::filesystem::remove_all(folder);
  state.counters["records"] = stored / static_cast<double>(state.iterations());
  state.counters["records_per_s"] = seconds > 0 ? stored / seconds : 0;
}

BENCHMARK(CollectPass)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

}  // namespace
