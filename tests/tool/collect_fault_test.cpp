// A collect pass cut in the middle: the device server of a network line killed during a door
// terminal's records or a clock's stream, a local line that vanishes, the database that stops
// answering. Whatever was cut, every record the terminals held is in the database or still in
// its terminal, none is stored twice, the pass ends with a failure, and the next pass, with
// everything back, stores each record exactly once and leaves the terminals empty.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <memory>
#include <optional>
#include <ostream>
#include <sstream>
#include <thread>

#include "collect_fixture.hpp"
#include "collect_records.hpp"
#include "db/database_fixture.hpp"
#include "integration/pg_proxy.hpp"
#include "ser2net_process.hpp"
#include "simulator/simulator.hpp"

namespace solvard::tool {
namespace {

using db::testing::Engine;

enum class Cut {
  DeviceServerDuringDoorRecords,  // ser2net killed once door 4 acknowledged a few records
  DeviceServerDuringClockStream,  // ser2net killed while clock 2 streams its records
  LocalLineVanishes,              // the local line closes after door 3's fourth reply
  DatabaseStops,                  // the database stops once door 3 acknowledged a few records
};

struct Case {
  const char* name;
  Cut cut;
  int exitStatus;
  int clock2Records;  // records of the clock and the door behind the device server
  int door4Records;
  int door3Records;  // records of the local door
};

// Test names and failure messages show the case by its name.
void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

const Case kCases[] = {
    {"DeviceServerKilledDuringDoorRecords", Cut::DeviceServerDuringDoorRecords, 1, 20, 300, 10},
    {"DeviceServerKilledDuringClockStream", Cut::DeviceServerDuringClockStream, 1, 800, 10, 10},
    {"LocalLineVanishes", Cut::LocalLineVanishes, 1, 20, 10, 10},
    {"DatabaseStops", Cut::DatabaseStops, 3, 20, 10, 300},
};

// Waits at most ten seconds for `ready`.
template <typename Ready>
bool waitFor(Ready ready) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!ready()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

std::vector<simulator::Bytes> doorRecords(int count, int day) {
  std::vector<simulator::Bytes> records;
  for (int i = 0; i < count; ++i)
    records.push_back(simulator::accessRecord("00000" + std::to_string(30000 + i), 6, 4, day,
                                              i / 60 % 24, i % 60));
  return records;
}

class CollectFaultTest : public ::testing::TestWithParam<std::tuple<Engine, Case>> {
 protected:
  void SetUp() override {
    if (testing::ser2netProgram().empty()) GTEST_SKIP() << "ser2net is not installed";
    if (cut() == Cut::DatabaseStops && std::get<0>(GetParam()) != Engine::kPostgresql)
      GTEST_SKIP() << "an SQLite file has no server to stop";
    if (!database.create()) GTEST_SKIP() << "SOLVARD_PG_CONNECT is not set";
    const Case& c = std::get<1>(GetParam());
    punches1 = simulator::sampleRecords(30, 1);
    punches2 = simulator::sampleRecords(c.clock2Records, 2);
    doors3 = doorRecords(c.door3Records, 13);
    doors4 = doorRecords(c.door4Records, 14);
    clock1 = &local.add(std::make_unique<simulator::AttendTerminal>(1));
    clock1->storeRecords(punches1);
    door3 = &local.add(std::make_unique<simulator::AccessTerminal>(3));
    for (const auto& record : doors3) door3->store(record);
    clock2 = &remote.add(std::make_unique<simulator::AttendTerminal>(2));
    clock2->storeRecords(punches2);
    door4 = &remote.add(std::make_unique<simulator::AccessTerminal>(4));
    for (const auto& record : doors4) door4->store(record);
    if (cut() == Cut::LocalLineVanishes)
      door3->inject(simulator::Fault::lineVanishes(), simulator::FaultSchedule::onReply(4));
    local.start();
    remote.start();
    server = std::make_unique<testing::Ser2net>(folder.path(), "tcp", remote.path(), "19200n81",
                                                testing::freeLocalPort());
    ASSERT_TRUE(server->start()) << "ser2net did not listen";
    reachable = database.text();
    if (cut() == Cut::DatabaseStops) {
      // The collector reaches the server through a relay the test can stop.
      const std::size_t at = reachable.find("Port=") + 5;
      const std::size_t end = reachable.find(';', at);
      proxy = std::make_unique<integration::PgProxy>(
          static_cast<uint16_t>(std::stoi(reachable.substr(at, end - at))));
      reachable.replace(at, end - at, std::to_string(proxy->port()));
    }
  }
  void TearDown() override {
    server.reset();
    local.stop();
    remote.stop();
  }

  Cut cut() const { return std::get<1>(GetParam()).cut; }

  std::string config() {
    return folder.config(reachable,
                         {{"L", local.path(), {"attend:1:after-commit", "door:3"}, 19200},
                          {"N",
                           "tcp://127.0.0.1:" + std::to_string(server->port()),
                           {"attend:2:after-commit", "door:4"},
                           19200}});
  }

  // The kept-records file as the collector left it ("<machine> <record in hex> <line>" a line),
  // or nothing.
  std::string keptRecords() const {
    std::ifstream file(folder.path() / "state" / "solvard" / "pending-access-records");
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
  }
  static std::string lowerHex(const simulator::Bytes& record) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string hex;
    for (const uint8_t byte : record) {
      hex += kHex[byte >> 4];
      hex += kHex[byte & 0x0F];
    }
    return hex;
  }

  std::size_t acknowledged(simulator::Simulator& sim, simulator::AccessTerminal* door) {
    return sim.withState([&] { return door->state().acknowledged.size(); });
  }

  // Cuts what the case says once the pass is in the middle of it.
  void cutMidway() {
    switch (cut()) {
      case Cut::DeviceServerDuringDoorRecords:
        ASSERT_TRUE(waitFor([&] { return acknowledged(remote, door4) >= 5; }));
        server->stop();
        break;
      case Cut::DeviceServerDuringClockStream:
        // 800 records take about 4 s at 19200 baud: a few tenths in, the stream is under way.
        ASSERT_TRUE(waitFor(
            [&] { return remote.withState([&] { return clock2->state().downloads; }) > 0; }));
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        server->stop();
        break;
      case Cut::LocalLineVanishes:
        ASSERT_TRUE(waitFor([&] { return local.lineVanished(); }));
        break;
      case Cut::DatabaseStops:
        ASSERT_TRUE(waitFor([&] { return acknowledged(local, door3) >= 5; }));
        proxy->stopServing();
        break;
    }
  }

  // Brings back what was cut.
  void restore() {
    switch (cut()) {
      // Only the device server comes back: the terminals behind it go on sending what they
      // began, which the next pass must wait out rather than read as replies.
      case Cut::DeviceServerDuringDoorRecords:
      case Cut::DeviceServerDuringClockStream: ASSERT_TRUE(server->start()); break;
      case Cut::LocalLineVanishes:
        local.stop();
        local.start();
        break;
      case Cut::DatabaseStops: proxy->serveAgain(); break;
    }
  }

  std::vector<std::string> startedAttendance() const {
    return testing::everyRowOf(
        {testing::attendRows("L", 1, punches1), testing::attendRows("N", 2, punches2)});
  }
  std::vector<std::string> startedAccess() const {
    return testing::everyRowOf(
        {testing::accessRows("L", 3, doors3), testing::accessRows("N", 4, doors4)});
  }
  // What the terminals still hold.
  std::vector<std::string> heldAttendance() {
    auto rows = local.withState([&] { return testing::attendRows("L", 1, clock1->records()); });
    testing::append(
        rows, remote.withState([&] { return testing::attendRows("N", 2, clock2->records()); }));
    return testing::everyRow(rows);
  }
  std::vector<std::string> heldAccess() {
    auto rows =
        local.withState([&] { return testing::accessRows("L", 3, door3->state().records); });
    testing::append(rows, remote.withState(
                              [&] { return testing::accessRows("N", 4, door4->state().records); }));
    return testing::everyRow(rows);
  }

  db::testing::Database database{std::get<0>(GetParam())};
  testing::CollectFolder folder{"collect-fault"};
  std::vector<simulator::Bytes> punches1, punches2, doors3, doors4;
  simulator::Simulator local{simulator::SimulatorOptions{.baudRate = 19200, .paced = true}};
  simulator::Simulator remote{simulator::SimulatorOptions{.baudRate = 19200, .paced = true}};
  simulator::AttendTerminal* clock1 = nullptr;
  simulator::AttendTerminal* clock2 = nullptr;
  simulator::AccessTerminal* door3 = nullptr;
  simulator::AccessTerminal* door4 = nullptr;
  std::unique_ptr<testing::Ser2net> server;
  std::unique_ptr<integration::PgProxy> proxy;
  std::string reachable;  // the database as the collector reaches it
};

TEST_P(CollectFaultTest, NothingIsLostOrStoredTwiceAndTheNextPassStoresTheRest) {
  const Case& c = std::get<1>(GetParam());
  auto collector = folder.startCollector({"--config", config(), "--json"});
  cutMidway();
  const std::optional<int> status = collector->exitStatus(std::chrono::seconds(60));
  EXPECT_EQ(status, c.exitStatus) << collector->output() << collector->errors();
  const auto pass = nlohmann::json::parse(collector->output(), nullptr, false);
  EXPECT_EQ(pass["ok"], false) << collector->output();

  // Read straight from the server, not through the relay.
  const std::vector<std::string> storedAttendance =
      testing::storedRows(database.text(), "attendance_records");
  const std::vector<std::string> storedAccess =
      testing::storedRows(database.text(), "access_records");
  for (const auto& [stored, held, started] :
       {std::tuple{storedAttendance, heldAttendance(), startedAttendance()},
        std::tuple{storedAccess, heldAccess(), startedAccess()}}) {
    // Nothing stored that no terminal held, nothing stored more often than terminals held it
    // (the lists are multisets: a card presented twice in a minute is two rows), nothing gone
    // from both.
    EXPECT_EQ(testing::without(stored, started), std::vector<std::string>{});
    EXPECT_EQ(testing::without(started, testing::joined(stored, held)), std::vector<std::string>{});
  }
  // A door forgets a record only at the prompt after it was committed: at most the one in hand
  // is both stored and held.
  EXPECT_LE(testing::common(storedAccess, heldAccess()).size(), 2u);
  // The cut did not pass unnoticed: something was left for the next pass.
  EXPECT_NE(heldAttendance().size() + heldAccess().size(), 0u);
  // A door record sent but cut off on its way never reached the collector, and the door forgets
  // it at the next prompt, whichever download sends it: the one loss the terminal's way of
  // acknowledging allows. A record that did reach the collector, but that the database refused
  // before its commit, is kept and written first by the next pass: it is not in transit.
  const std::string kept = keptRecords();
  std::vector<std::string> inTransit;
  const auto sentNotStored = [&](simulator::Simulator& sim, simulator::AccessTerminal* door,
                                 const std::string& line, int machine) {
    const auto sent = sim.withState([&]() -> std::optional<simulator::Bytes> {
      if (!door->state().recordSent) return std::nullopt;
      return door->state().records.front();
    });
    if (!sent) return;
    const std::string row = testing::accessRow(line, machine, *sent);
    if (std::binary_search(storedAccess.begin(), storedAccess.end(), row)) return;
    if (kept.find(std::to_string(machine) + " " + lowerHex(*sent) + " ") != std::string::npos)
      return;
    inTransit.push_back(row);
  };
  sentNotStored(local, door3, "L", 3);
  sentNotStored(remote, door4, "N", 4);

  restore();
  nlohmann::json again;
  const CommandRun got = folder.collect(config(), again);
  EXPECT_EQ(got.status, 0) << got.out << got.err;
  // The rows that differ, not two long lists googletest would cut short.
  const auto expectRows = [](const std::vector<std::string>& stored,
                             const std::vector<std::string>& expected, const char* table) {
    EXPECT_EQ(testing::without(stored, expected), std::vector<std::string>{})
        << table << ": stored but not expected";
    EXPECT_EQ(testing::without(expected, stored), std::vector<std::string>{})
        << table << ": expected but not stored";
    EXPECT_EQ(stored.size(), expected.size()) << table;
  };
  expectRows(testing::storedRows(database.text(), "attendance_records"), startedAttendance(),
             "attendance_records");
  expectRows(testing::storedRows(database.text(), "access_records"),
             testing::without(startedAccess(), testing::everyRow(inTransit)), "access_records");
  EXPECT_EQ(heldAttendance(), std::vector<std::string>{});
  EXPECT_EQ(heldAccess(), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(Cuts, CollectFaultTest,
                         ::testing::Combine(testing::bothEngines(), ::testing::ValuesIn(kCases)),
                         testing::EngineAndCaseName());

}  // namespace
}  // namespace solvard::tool
