// Lines share one SQLite file, which takes one writer at a time: a clock's records, streaming at
// line speed, must not keep the other lines' records waiting until the stream ends.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <thread>

#include "collect_pass.hpp"
#include "collect_records.hpp"
#include "db/database_fixture.hpp"
#include "simulator/simulator.hpp"

namespace solvard::tool {
namespace {

using db::testing::Engine;

CollectTerminal terminal(TerminalKind kind, uint8_t machine) {
  CollectTerminal t;
  t.kind = kind;
  t.machine = machine;
  t.warnAbove = kDefaultWarnAbove;
  return t;
}

class CollectOneWriterTest : public ::testing::TestWithParam<Engine> {
 protected:
  void SetUp() override {
    if (!database.create()) GTEST_SKIP() << "SOLVARD_PG_CONNECT is not set";
  }
  db::testing::Database database{GetParam()};
};

TEST_P(CollectOneWriterTest, AClockStreamingOnOneLineHoldsUpNoOtherLinesRecords) {
  // 1500 records take about 8 s at 19200 baud; the door's 20 records about 0.2 s.
  simulator::Simulator clockLine(simulator::SimulatorOptions{.baudRate = 19200, .paced = true});
  const auto punches = simulator::sampleRecords(1500, 3);
  clockLine.add(std::make_unique<simulator::AttendTerminal>(1)).storeRecords(punches);
  simulator::Simulator doorLine(simulator::SimulatorOptions{.baudRate = 19200, .paced = true});
  auto& door = doorLine.add(std::make_unique<simulator::AccessTerminal>(3));
  for (int i = 0; i < 20; ++i)
    door.store(simulator::accessRecord("00000" + std::to_string(50000 + i), 8, 1, 2, 3, i));
  clockLine.start();
  doorLine.start();

  CollectConfig config;
  config.database = database.text();
  config.lines.push_back({"C", clockLine.path(), 19200, {terminal(TerminalKind::attend, 1)}});
  config.lines.push_back({"D", doorLine.path(), 19200, {terminal(TerminalKind::door, 3)}});
  auto pass = std::async(std::launch::async, [&] { return runCollectPass(config, {}); });

  // Each acknowledged record was committed first; by the time the door has had most of its
  // records acknowledged the clock is still streaming, so nothing of it may be stored yet, and
  // the door must not have waited for it.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  const auto acknowledged = [&] {
    return doorLine.withState([&] { return door.state().acknowledged.size(); });
  };
  while (acknowledged() < 19 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_GE(acknowledged(), 19u);
  EXPECT_EQ(testing::storedRows(database.text(), "attendance_records"), std::vector<std::string>{});

  ASSERT_EQ(pass.wait_for(std::chrono::seconds(60)), std::future_status::ready);
  const PassOutcome outcome = pass.get();
  ASSERT_EQ(outcome.terminals.size(), 2u);
  EXPECT_FALSE(outcome.terminals[0].error) << outcome.terminals[0].error->message();
  EXPECT_FALSE(outcome.terminals[1].error) << outcome.terminals[1].error->message();
  EXPECT_EQ(testing::storedRows(database.text(), "attendance_records"),
            testing::everyRow(testing::attendRows("C", 1, punches)));
  EXPECT_EQ(testing::storedRows(database.text(), "access_records").size(), 20u);
  clockLine.stop();
  doorLine.stop();
}

INSTANTIATE_TEST_SUITE_P(Engines, CollectOneWriterTest,
                         ::testing::Values(Engine::kSqlite, Engine::kPostgresql),
                         db::testing::engineName);

}  // namespace
}  // namespace solvard::tool
