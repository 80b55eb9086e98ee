// How close a download of 10,000 records comes to the line's own limit, and what it costs the
// host: a simulated attendance terminal paced at the baud rate on a pseudo-terminal, downloaded
// through `Attend::GetMacData` into an SQLite file or a PostgreSQL server, in real time.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "component/attend.hpp"
#include "component/library_line.hpp"
#include "component/shared_database.hpp"
#include "db/odbc_connection.hpp"
#include "db/schema.hpp"
#include "serial/host_link.hpp"
#include "serial/shared_port.hpp"
#include "simulator/attend_terminal.hpp"
#include "simulator/simulator.hpp"
#include "ui/host_reports.hpp"

namespace {

using namespace solvard;

constexpr int16_t kPortNumber = 11;
constexpr uint8_t kMachine = 1;
constexpr int kRecords = 10'000;

double processCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// The CPU of the calling thread alone: the host's thread, which runs the whole download (the
// port, the waits and, for SQLite, the database engine); the simulator runs on its own thread.
double threadCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// A database of the run's own: a fresh SQLite file, or a fresh schema on the PostgreSQL server
// SOLVARD_PG_CONNECT names. Empty text when it cannot be had.
class BenchDatabase {
 public:
  explicit BenchDatabase(bool postgres) : postgres_(postgres) {}
  ~BenchDatabase() {
    if (!postgres_) {
      std::error_code ignored;
      std::filesystem::remove_all(folder_, ignored);
    } else if (!schema_.empty()) {
      auto admin = db::makeOdbcConnection();
      if (admin->Open(server_) == db::Outcome::kOk)
        admin->Execute("drop schema " + schema_ + " cascade");
    }
  }

  std::string create(std::string& problem) {
    std::string text;
    if (!postgres_) {
      folder_ =
          std::filesystem::temp_directory_path() / ("solvard-bench-" + std::to_string(::getpid()));
      std::filesystem::create_directories(folder_);
      text = (folder_ / "attend.db").string();
    } else {
      const char* server = std::getenv("SOLVARD_PG_CONNECT");
      if (server == nullptr || *server == '\0') {
        problem = "SOLVARD_PG_CONNECT is not set";
        return {};
      }
      server_ = server;
      if (server_.back() != ';') server_ += ';';
      schema_ = "solvard_bench_" + std::to_string(::getpid());
      auto admin = db::makeOdbcConnection();
      if (admin->Open(server_) != db::Outcome::kOk ||
          admin->Execute("create schema " + schema_) != db::Outcome::kOk) {
        problem = admin->lastDiagnostic().text();
        return {};
      }
      text = server_ + "ConnSettings={set search_path to " + schema_ + "}";
    }
    auto setup = db::makeOdbcConnection();
    if (setup->Open(text) != db::Outcome::kOk) {
      problem = setup->lastDiagnostic().text();
      return {};
    }
    const db::Diagnostic tables = db::ensureAttendanceTables(*setup);
    if (!tables.empty()) {
      problem = tables.text();
      return {};
    }
    return text;
  }

 private:
  bool postgres_;
  std::filesystem::path folder_;
  std::string server_;
  std::string schema_;
};

// state.range(0): the baud rate; state.range(1): 0 = SQLite file, 1 = PostgreSQL; state.range(2):
// 1 = as a host runs it, 0 = with the monotonic clock injected as a host's own, which turns the
// download's pacing by the terminal's stream off (every byte then wakes the wait).
void AttendDownloadThroughput(benchmark::State& state) {
  const int32_t baud = static_cast<int32_t>(state.range(0));
  BenchDatabase database(state.range(1) == 1);
  std::string problem;
  const std::string text = database.create(problem);
  if (text.empty()) {
    state.SkipWithError(problem.c_str());
    return;
  }

  simulator::Simulator sim({.baudRate = baud, .paced = true});
  auto& terminal = sim.add(std::make_unique<simulator::AttendTerminal>(kMachine));
  terminal.storeRecords(simulator::sampleRecords(kRecords));
  sim.start();
  component::mapPortDevice(kPortNumber, sim.path());
  attend::replaceSharedDatabase(nullptr);

  component::LibraryHooks savedHooks = component::libraryHooks();
  if (state.range(2) == 0) component::libraryHooks().clock = &serial::steadyClock();

  component::Attend object;
  object.setCommPortID(kPortNumber);
  object.setCommBautRate(static_cast<int16_t>(baud));
  object.setConnectString(text);

  int32_t result = 0;
  double wall = 0, processCpu = 0, threadCpu = 0;
  for (auto _ : state) {
    const double processBefore = processCpuSeconds();
    const double threadBefore = threadCpuSeconds();
    const auto wallBefore = std::chrono::steady_clock::now();
    result = object.GetMacData(kMachine);
    wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - wallBefore).count();
    threadCpu += threadCpuSeconds() - threadBefore;
    processCpu += processCpuSeconds() - processBefore;
  }
  component::libraryHooks() = savedHooks;
  component::sharedPort().PortOpen(false);
  attend::replaceSharedDatabase(nullptr);
  component::unmapPortDevice(kPortNumber);
  sim.stop();
  if (result != kRecords) {
    state.SkipWithError(("the download gave " + std::to_string(result)).c_str());
    return;
  }

  // A record is 10 bytes on the line, each byte 10 bit times.
  const double lineLimit = baud / 100.0;
  const double perSecond = kRecords * static_cast<double>(state.iterations()) / wall;
  state.counters["records_per_s"] = perSecond;
  state.counters["line_limit"] = lineLimit;
  state.counters["ratio"] = perSecond / lineLimit;
  state.counters["cpu_thread_percent"] = 100 * threadCpu / wall;
  state.counters["cpu_process_percent"] = 100 * processCpu / wall;
}

BENCHMARK(AttendDownloadThroughput)
    ->ArgNames({"baud", "postgres", "paced"})
    ->Args({9600, 0, 1})
    ->Args({19200, 0, 1})
    ->Args({9600, 1, 1})
    ->Args({19200, 1, 1})
    ->Args({19200, 0, 0})
    ->Args({19200, 1, 0})
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

}  // namespace
