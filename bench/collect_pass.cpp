// Throughput of one collect pass over many lines at once: 8 lines, each with 2 attendance and 2
// door terminals holding SOLVARD_BENCH_COLLECT_RECORDS records each (default 1000), served as
// fast as the pseudo-terminals carry them, into a fresh SQLite file. Each line runs on its own
// thread with its own connection, so the file's one writer at a time is what the lines share;
// `records_per_s` is every record stored divided by the pass's time.
#include "collect_pass.hpp"

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "db/odbc_connection.hpp"
#include "simulated_lines_process.hpp"
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

double cpuSeconds() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

constexpr int kPacedBaud = 19200;
constexpr int kPacedClocksPerLine = 4;

// One pass over 8 lines of 4 attendance terminals with SOLVARD_BENCH_COLLECT_RECORDS records
// each (default 1000), the terminals paced at 19200 baud as real ones send, in a child process
// of their own, into a fresh SQLite file (`engine:0`) or a fresh schema on the PostgreSQL server
// SOLVARD_PG_CONNECT names (`engine:1`, skipped without it). A line cannot be collected faster than
// it carries its bytes (10 bit times each), so the pass is held against the slowest line's line
// time: `line_ratio` is the wall time over it (target at most 1.05). `cpu_percent` is the CPU time
// of this process (the collector's threads and, for SQLite, the database engine; the terminals and
// the PostgreSQL server are elsewhere) over the wall time, in percent of one core (target below
// 10).
void CollectPassPaced(benchmark::State& state) {
  const int records = recordsPerTerminal();
  const bool postgres = state.range(0) == 1;
  const char* server = std::getenv("SOLVARD_PG_CONNECT");
  if (postgres && (server == nullptr || *server == '\0')) {
    state.SkipWithError("SOLVARD_PG_CONNECT is not set");
    for (auto _ : state) {
    }
    return;
  }
  std::random_device random;
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("solvard_bench_paced_" + std::to_string(random()));
  double wall = 0;
  double cpu = 0;
  double lineTime = 0;
  int stored = 0;
  std::string failure;
  std::string schema;
  for (auto _ : state) {
    state.PauseTiming();
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    bench::SimulatedLinesProcess lines(
        kLines, simulator::SimulatorOptions{.baudRate = kPacedBaud, .paced = true},
        [records](simulator::Simulator& sim, int line) {
          for (int t = 0; t < kPacedClocksPerLine; ++t) {
            sim.add(std::make_unique<simulator::AttendTerminal>(static_cast<uint8_t>(1 + t)))
                .storeRecords(simulator::sampleRecords(
                    records, static_cast<uint32_t>(line * kPacedClocksPerLine + t + 1)));
          }
        });
    tool::CollectConfig config;
    config.database = (folder / "collect.db").string();
    if (postgres) {
      schema = "solvard_bench_" + std::to_string(random() % 1000000);
      auto admin = db::makeOdbcConnection();
      if (admin->Open(server) != db::Outcome::kOk ||
          admin->Execute("create schema " + schema) != db::Outcome::kOk) {
        failure = "cannot make a schema: " + admin->lastDiagnostic().text();
      }
      config.database = std::string(server) + (std::string(server).ends_with(";") ? "" : ";") +
                        "ConnSettings={set search_path to " + schema + "}";
    }
    for (int l = 0; l < kLines; ++l) {
      tool::CollectLine line;
      line.name = "L" + std::to_string(l);
      line.port = lines.paths()[static_cast<std::size_t>(l)];
      line.baud = kPacedBaud;
      for (int t = 0; t < kPacedClocksPerLine; ++t) {
        tool::CollectTerminal terminal;
        terminal.kind = tool::TerminalKind::attend;
        terminal.machine = static_cast<uint8_t>(1 + t);
        terminal.warnAbove = tool::kDefaultWarnAbove;
        line.terminals.push_back(terminal);
      }
      config.lines.push_back(std::move(line));
    }
    state.ResumeTiming();
    const double cpuBefore = cpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    const tool::PassOutcome pass = tool::runCollectPass(config, {});
    wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    cpu += cpuSeconds() - cpuBefore;
    state.PauseTiming();
    for (const tool::TerminalOutcome& outcome : pass.terminals) {
      if (outcome.error && failure.empty()) {
        failure = "line " + outcome.line + " terminal " + std::to_string(outcome.machine) + ": " +
                  outcome.error->message();
      }
      stored += outcome.records;
    }
    const std::vector<int64_t> bytes = lines.stop();
    lineTime +=
        static_cast<double>(*std::max_element(bytes.begin(), bytes.end())) * 10 / kPacedBaud;
    state.ResumeTiming();
  }
  std::filesystem::remove_all(folder);
  if (!schema.empty()) {
    auto admin = db::makeOdbcConnection();
    if (admin->Open(server) == db::Outcome::kOk)
      admin->Execute("drop schema " + schema + " cascade");
  }
  if (!failure.empty()) state.SkipWithError(failure.c_str());
  const auto runs = static_cast<double>(state.iterations());
  state.counters["records"] = stored / runs;
  state.counters["wall_s"] = wall / runs;
  state.counters["line_time_s"] = lineTime / runs;
  state.counters["line_ratio"] = lineTime > 0 ? wall / lineTime : 0;
  state.counters["cpu_percent"] = wall > 0 ? 100 * cpu / wall : 0;
}

BENCHMARK(CollectPassPaced)
    ->ArgName("engine")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kSecond)
    ->Iterations(1)
    ->UseRealTime();

}  // namespace
