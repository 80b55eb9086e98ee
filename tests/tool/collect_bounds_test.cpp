// A door that always has one more record holds its line for its pass_time only: the pass ends,
// the clock after it on the same line is asked, and the next pass goes on where the door
// stopped, every record stored once.
#include <gtest/gtest.h>

#include <fstream>
#include <memory>

#include "collect_fixture.hpp"
#include "collect_records.hpp"
#include "db/database_fixture.hpp"
#include "simulator/simulator.hpp"

namespace solvard::tool {
namespace {

std::vector<simulator::Bytes> doorRecords(int count) {
  std::vector<simulator::Bytes> records;
  for (int i = 0; i < count; ++i) {
    const std::string card = std::to_string(1'000'000'000 + i);
    records.push_back(
        simulator::accessRecord(card, 26, 1 + i / 28 / 24 % 12, 1 + i / 24 % 28, i % 24, i % 60));
  }
  return records;
}

TEST(CollectBoundsTest, ARunawayDoorStopsAtItsPassTimeAndTheClockAfterItIsAsked) {
  db::testing::Database database{db::testing::Engine::kSqlite};
  ASSERT_TRUE(database.create());
  testing::CollectFolder folder{"collect-bounds"};
  const std::vector<simulator::Bytes> held = doorRecords(20000);
  const std::vector<simulator::Bytes> punches = simulator::sampleRecords(5, 1);
  simulator::Simulator line;
  auto& door = line.add(std::make_unique<simulator::AccessTerminal>(3));
  for (const auto& record : held) door.store(record);
  line.add(std::make_unique<simulator::AttendTerminal>(1)).storeRecords(punches);
  line.start();
  const std::string config = (folder.path() / "collect.toml").string();
  std::ofstream(config) << "database = \"" << database.text() << "\"\n"
                        << "[[line]]\nname = \"L\"\nport = \"" << line.path() << "\"\n"
                        << "[[line.terminal]]\nkind = \"door\"\nmachines = 3\npass_time = \"1s\"\n"
                        << "[[line.terminal]]\nkind = \"attend\"\nmachines = 1\n";
  const auto acknowledged = [&] {
    return line.withState([&] {
      return static_cast<simulator::AccessTerminal*>(line.terminal(3))->state().acknowledged.size();
    });
  };

  std::size_t stored = 0;
  for (int pass = 1; pass <= 2; ++pass) {
    nlohmann::json result;
    const CommandRun got = folder.collect(config, result);
    ASSERT_EQ(got.status, 0) << got.out << got.err;
    const auto& terminals = result["result"]["terminals"];
    ASSERT_EQ(terminals.size(), 2u) << got.out;
    const int given = terminals[0]["records"].get<int>();
    EXPECT_GT(given, 0);
    EXPECT_LT(given, 20000);
    EXPECT_EQ(terminals[0]["more"], true);
    EXPECT_TRUE(terminals[0]["error"].is_null()) << terminals[0]["error"].dump();
    EXPECT_EQ(terminals[1]["records"], 5);
    EXPECT_EQ(terminals[1]["more"], false);
    EXPECT_NE(got.err.find("line L terminal 3: stopped at its pass_time of 1 s so the line's "
                           "other terminals are asked; it may hold more, the next pass goes on"),
              std::string::npos)
        << got.err;
    stored += static_cast<std::size_t>(given);
    // The door's records in the order it held them, each once; the last written one is
    // acknowledged by the next pass's first prompt.
    const std::vector<simulator::Bytes> first(held.begin(),
                                              held.begin() + static_cast<std::ptrdiff_t>(stored));
    EXPECT_EQ(testing::queriedRows(database.text(),
                                   "select line, machine, card, record_date, record_time from "
                                   "access_records"),
              testing::sorted(testing::accessRows("L", 3, first)));
    EXPECT_EQ(acknowledged(), stored - 1);
  }
  EXPECT_EQ(testing::storedRows(database.text(), "attendance_records"),
            testing::sorted(testing::attendRows("L", 1, punches)));
  line.stop();
}

}  // namespace
}  // namespace solvard::tool
