// Two `solvard collect` processes writing into one database at the same time, each over a line
// of its own, under the same line name: both clocks hold the same punches (a clock moved from
// one line to another, read again without a clear) and some were stored by an earlier pass, so
// each punch is stored once; the doors' records are events of their own, each stored once even
// where two doors hold the same card at the same minute.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>

#include "collect_fixture.hpp"
#include "collect_records.hpp"
#include "db/database_fixture.hpp"
#include "simulator/simulator.hpp"

namespace solvard::tool {
namespace {

using db::testing::Engine;

std::vector<simulator::Bytes> doorRecords(int first, int count) {
  std::vector<simulator::Bytes> records;
  for (int i = first; i < first + count; ++i)
    records.push_back(simulator::accessRecord("00000" + std::to_string(40000 + i), 7, 5,
                                              1 + i / 600, i / 60 % 10, i % 60));
  return records;
}

std::vector<simulator::Bytes> firstOf(const std::vector<simulator::Bytes>& records, int count) {
  return {records.begin(), records.begin() + count};
}

// A simulated line with a clock (machine 1) and a door (machine 3) holding `punches` and
// `doors`, paced at 19200 baud so that a pass over it lasts long enough for two to overlap.
std::unique_ptr<simulator::Simulator> lineWith(const std::vector<simulator::Bytes>& punches,
                                               const std::vector<simulator::Bytes>& doors) {
  auto sim = std::make_unique<simulator::Simulator>(
      simulator::SimulatorOptions{.baudRate = 19200, .paced = true});
  sim->add(std::make_unique<simulator::AttendTerminal>(1)).storeRecords(punches);
  auto& door = sim->add(std::make_unique<simulator::AccessTerminal>(3));
  for (const auto& record : doors) door.store(record);
  sim->start();
  return sim;
}

class CollectTwoProcessesTest : public ::testing::TestWithParam<Engine> {
 protected:
  void SetUp() override {
    if (!database.create()) GTEST_SKIP() << "SOLVARD_PG_CONNECT is not set";
  }

  static std::size_t held(simulator::Simulator& sim) {
    return sim.withState([&] {
      return static_cast<simulator::AccessTerminal*>(sim.terminal(3))->state().records.size();
    });
  }

  db::testing::Database database{GetParam()};
  testing::CollectFolder folder{"collect-two"};
};

TEST_P(CollectTwoProcessesTest, OverlappingRecordsFromTwoAtOnceAreStoredExactlyOnce) {
  const std::vector<simulator::Bytes> punches = simulator::sampleRecords(400, 7);
  // The doors' records overlap in the middle (0-119 on one line, 80-199 on the other): a card
  // presented at both doors in the same minute is two events.
  const std::vector<simulator::Bytes> doorsX = doorRecords(0, 120);
  const std::vector<simulator::Bytes> doorsY = doorRecords(80, 120);

  // An earlier pass stored the first 100 punches and 30 door records of a door since gone.
  const std::vector<simulator::Bytes> doorsEarlier = doorRecords(200, 30);
  {
    auto earlier = lineWith(firstOf(punches, 100), doorsEarlier);
    nlohmann::json pass;
    const CommandRun got = folder.collect(
        folder.config(database.text(), {{"shared", earlier->path(), {"attend:1", "door:3"}}},
                      "earlier.toml"),
        pass);
    ASSERT_EQ(got.status, 0) << got.out << got.err;
    ASSERT_EQ(testing::terminalsOf(pass), "shared/attend/1:100 shared/door/3:30 ");
  }

  auto lineX = lineWith(punches, doorsX);
  auto lineY = lineWith(punches, doorsY);
  const std::string configX = folder.config(
      database.text(), {{"shared", lineX->path(), {"attend:1", "door:3"}, 19200}}, "x.toml");
  const std::string configY = folder.config(
      database.text(), {{"shared", lineY->path(), {"attend:1", "door:3"}, 19200}}, "y.toml");
  auto first = folder.startCollector({"--config", configX, "--json"});
  auto other = folder.startCollector({"--config", configY, "--json"});
  EXPECT_EQ(first->exitStatus(std::chrono::seconds(60)), 0) << first->output() << first->errors();
  EXPECT_EQ(other->exitStatus(std::chrono::seconds(60)), 0) << other->output() << other->errors();
  // Each collector downloaded every record of its own line, stored or not.
  for (auto* collector : {first.get(), other.get()}) {
    const auto pass = nlohmann::json::parse(collector->output(), nullptr, false);
    EXPECT_EQ(testing::terminalsOf(pass), "shared/attend/1:400 shared/door/3:120 ")
        << collector->output();
  }

  EXPECT_EQ(testing::storedRows(database.text(), "attendance_records"),
            testing::everyRow(testing::attendRows("shared", 1, punches)));
  auto access = testing::accessRows("shared", 3, doorsX);
  testing::append(access, testing::accessRows("shared", 3, doorsY));
  testing::append(access, testing::accessRows("shared", 3, doorsEarlier));
  EXPECT_EQ(testing::storedRows(database.text(), "access_records"), testing::everyRow(access));
  EXPECT_EQ(held(*lineX), 0u);
  EXPECT_EQ(held(*lineY), 0u);
}

INSTANTIATE_TEST_SUITE_P(Engines, CollectTwoProcessesTest,
                         ::testing::Values(Engine::kSqlite, Engine::kPostgresql),
                         db::testing::engineName);

}  // namespace
}  // namespace solvard::tool
