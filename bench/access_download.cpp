// Throughput of an access-control record download: records a simulated terminal holds, served at
// the line rate, written one row at a time into SQLite or PostgreSQL through `GetRegisterData`,
// in real time. The line carries 15 bytes per record (prompt 2, status 3, record 10), at 10 bit
// times a byte, so the line allows baud / 150 records a second; `line_ratio` is the records a
// second the download achieved divided by that. `median_ratio` divides the line's time for one
// record by the median time from one prompt to the next, which a busy machine's stalls do not
// move.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "component/library_line.hpp"
#include "component/prohibit.hpp"
#include "db/odbc_connection.hpp"
#include "db/schema.hpp"
#include "serial/host_link.hpp"
#include "simulator/access_terminal.hpp"
#include "simulator/simulator.hpp"

namespace {

using namespace solvard;

constexpr int16_t kPortNumber = 9;
constexpr uint8_t kMachine = 3;
constexpr int kBytesPerRecord = 2 + 3 + 10;
constexpr int kBitsPerByte = 10;

int recordCount() {
  const char* text = std::getenv("SOLVARD_BENCH_RECORDS");
  return text != nullptr && *text != '\0' ? std::atoi(text) : 10000;
}

enum Engine { kSqliteFile = 0, kSqliteRollback = 1, kSqliteWalNormal = 2, kPostgresql = 3 };

// A database of the run's own: an SQLite file in a fresh folder, named by its path as hosts
// name it (the library's default: write-ahead log, synchronised at every commit), or by an ODBC
// text with the driver's own settings (rollback journal, synchronous NORMAL: the default a path
// had before, the disk waited for at least twice a commit), or by one that asks for the
// write-ahead log without synchronising it at commit (a commit only appends to the log, and may
// be lost with the power); or a fresh schema on the server SOLVARD_PG_CONNECT names. Empty text
// when the engine is not at hand.
class Database {
 public:
  explicit Database(Engine engine) {
    std::random_device random;
    const std::string name = "solvard_bench_" + std::to_string(random() % 1000000);
    if (engine != kPostgresql) {
      folder_ = std::filesystem::temp_directory_path() / name;
      std::filesystem::create_directories(folder_);
      const std::string path = (folder_ / "doors.db").string();
      const std::string odbc = "Driver=SQLite3;Database=" + path;
      text_ = engine == kSqliteFile       ? path
              : engine == kSqliteRollback ? odbc
                                          : odbc + ";JournalMode=WAL;SyncPragma=NORMAL";
      return;
    }
    const char* server = std::getenv("SOLVARD_PG_CONNECT");
    if (server == nullptr || *server == '\0') return;
    server_ = server;
    if (server_.back() != ';') server_ += ';';
    auto admin = db::makeOdbcConnection();
    if (admin->Open(server_) != db::Outcome::kOk ||
        admin->Execute("create schema " + name) != db::Outcome::kOk) {
      return;
    }
    schema_ = name;
    text_ = server_ + "ConnSettings={set search_path to " + schema_ + "}";
  }
  ~Database() {
    std::error_code ignored;
    if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
    if (!schema_.empty()) {
      auto admin = db::makeOdbcConnection();
      if (admin->Open(server_) == db::Outcome::kOk)
        admin->Execute("drop schema " + schema_ + " cascade");
    }
  }
  const std::string& text() const { return text_; }

 private:
  std::filesystem::path folder_;
  std::string server_;
  std::string schema_;
  std::string text_;
};

// state.range(0): the baud rate; state.range(1): the engine.
void AccessDownload(benchmark::State& state) {
  const int baud = static_cast<int>(state.range(0));
  const int records = recordCount();
  Database database(static_cast<Engine>(state.range(1)));
  if (database.text().empty()) {
    state.SkipWithError("no PostgreSQL server (SOLVARD_PG_CONNECT)");
    return;
  }
  {
    auto connection = db::makeOdbcConnection();
    if (connection->Open(database.text()) != db::Outcome::kOk ||
        !db::ensureAccessRecordTable(*connection, "Records").empty()) {
      state.SkipWithError("the table could not be made");
      return;
    }
  }

  simulator::Simulator sim({.baudRate = baud, .paced = true});
  auto& terminal = sim.add(std::make_unique<simulator::AccessTerminal>(kMachine));
  for (int i = 0; i < records; ++i) {
    terminal.store(
        simulator::accessRecord(std::to_string(1000000000 + i), 1, 6, 29, i / 60 % 24, i % 60));
  }
  sim.start();
  component::mapPortDevice(kPortNumber, sim.path());
  component::libraryHooks().reporter = [](int32_t) {};
  component::Prohibit door;
  door.setCommPortID(kPortNumber);
  door.setCommBautRate(static_cast<int16_t>(baud));

  std::string result;
  double seconds = 0;
  for (auto _ : state) {
    std::string text = database.text();
    std::string table = "Records";
    const auto began = std::chrono::steady_clock::now();
    result = door.GetRegisterData(kMachine, text, table);
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
  }
  component::unmapPortDevice(kPortNumber);
  const size_t written = sim.withState([&] { return terminal.state().acknowledged.size(); });
  if (result != "ISEND" || written != static_cast<size_t>(records)) {
    state.SkipWithError(
        ("download ended " + result + " after " + std::to_string(written) + " records").c_str());
    return;
  }
  const double lineLimit = static_cast<double>(baud) / kBitsPerByte / kBytesPerRecord;
  std::vector<double> cycles;
  const auto frames = sim.frames();
  for (size_t i = 1; i < frames.size(); ++i) {
    cycles.push_back(
        std::chrono::duration<double>(frames[i].times.front() - frames[i - 1].times.front())
            .count());
  }
  std::nth_element(cycles.begin(), cycles.begin() + cycles.size() / 2, cycles.end());
  const double medianCycle = cycles[cycles.size() / 2];
  state.counters["records"] = records;
  state.counters["records_per_s"] = records / seconds;
  state.counters["line_limit_per_s"] = lineLimit;
  state.counters["line_ratio"] = records / seconds / lineLimit;
  state.counters["median_ratio"] = 1 / lineLimit / medianCycle;
}

BENCHMARK(AccessDownload)
    ->ArgNames({"baud", "engine"})
    ->ArgsProduct({{9600, 19200}, {kSqliteFile, kSqliteRollback, kSqliteWalNormal, kPostgresql}})
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

}  // namespace
