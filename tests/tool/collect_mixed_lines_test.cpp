// One collect pass over a local line (a pseudo-terminal) and a network line (ser2net in front of
// a second simulated line, raw TCP or RFC 2217), each with an attendance and a door terminal, into
// an SQLite file and into PostgreSQL.
#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <tuple>

#include "collect_fixture.hpp"
#include "collect_records.hpp"
#include "db/database_fixture.hpp"
#include "ser2net_process.hpp"
#include "simulator/simulator.hpp"

namespace solvard::tool {
namespace {

using db::testing::Engine;

struct Network {
  const char* name;
  const char* scheme;    // of the address in the config
  const char* accepter;  // ser2net's
};

// Test names and failure messages show the case by its name.
void PrintTo(const Network& c, std::ostream* out) { *out << c.name; }

const Network kRaw{"Raw", "tcp", "tcp"};
const Network kComPort{"ComPort", "rfc2217", "telnet(rfc2217),tcp"};

class CollectMixedLinesTest : public ::testing::TestWithParam<std::tuple<Engine, Network>> {
 protected:
  void SetUp() override {
    if (testing::ser2netProgram().empty()) GTEST_SKIP() << "ser2net is not installed";
    if (!database.create()) GTEST_SKIP() << "SOLVARD_PG_CONNECT is not set";
    local.add(std::make_unique<simulator::AttendTerminal>(1)).storeRecords(localPunches);
    auto& localDoor = local.add(std::make_unique<simulator::AccessTerminal>(3));
    for (const auto& record : localDoorRecords) localDoor.store(record);
    remote.add(std::make_unique<simulator::AttendTerminal>(2)).storeRecords(remotePunches);
    auto& remoteDoor = remote.add(std::make_unique<simulator::AccessTerminal>(4));
    for (const auto& record : remoteDoorRecords) remoteDoor.store(record);
    local.start();
    remote.start();
    const Network& network = std::get<1>(GetParam());
    server = std::make_unique<testing::Ser2net>(folder.path(), network.accepter, remote.path(),
                                                "19200n81", testing::freeLocalPort());
    ASSERT_TRUE(server->start()) << "ser2net did not listen";
    address = std::string(network.scheme) + "://127.0.0.1:" + std::to_string(server->port());
  }
  void TearDown() override {
    server.reset();
    local.stop();
    remote.stop();
  }

  static std::vector<simulator::Bytes> doorRecords(int count, int day) {
    std::vector<simulator::Bytes> records;
    for (int i = 0; i < count; ++i)
      records.push_back(simulator::accessRecord("00000" + std::to_string(20000 + i), 5, 3, day,
                                                7 + i / 60, i % 60));
    return records;
  }

  // Every record the four terminals held, as the tables are to hold them.
  std::vector<std::string> expectedAttendance() const {
    return testing::everyRowOf(
        {testing::attendRows("L", 1, localPunches), testing::attendRows("N", 2, remotePunches)});
  }
  std::vector<std::string> expectedAccess() const {
    return testing::everyRowOf({testing::accessRows("L", 3, localDoorRecords),
                                testing::accessRows("N", 4, remoteDoorRecords)});
  }

  db::testing::Database database{std::get<0>(GetParam())};
  testing::CollectFolder folder{"collect-mixed"};
  // More than one insert statement takes at once, and not a multiple of it.
  const std::vector<simulator::Bytes> localPunches = simulator::sampleRecords(140, 1);
  const std::vector<simulator::Bytes> remotePunches = simulator::sampleRecords(25, 2);
  const std::vector<simulator::Bytes> localDoorRecords = doorRecords(6, 11);
  const std::vector<simulator::Bytes> remoteDoorRecords = doorRecords(4, 12);
  simulator::Simulator local, remote;
  std::unique_ptr<testing::Ser2net> server;
  std::string address;
};

TEST_P(CollectMixedLinesTest, EveryRecordOfBothLinesIsStoredOnceAndASecondPassAddsNothing) {
  const std::string config = folder.config(
      database.text(),
      {{"L", local.path(), {"attend:1", "door:3"}}, {"N", address, {"attend:2", "door:4"}, 19200}});
  nlohmann::json pass;
  CommandRun got = folder.collect(config, pass);
  ASSERT_EQ(got.status, 0) << got.out << got.err;
  EXPECT_EQ(testing::terminalsOf(pass), "L/attend/1:140 L/door/3:6 N/attend/2:25 N/door/4:4 ");
  EXPECT_EQ(testing::storedRows(database.text(), "attendance_records"), expectedAttendance());
  EXPECT_EQ(testing::storedRows(database.text(), "access_records"), expectedAccess());
  // The door terminals were told their records are kept; the clocks keep theirs (never
  // cleared).
  EXPECT_EQ(local.withState([&] {
    return static_cast<simulator::AccessTerminal*>(local.terminal(3))->state().records.size();
  }),
            0u);
  EXPECT_EQ(remote.withState([&] {
    return static_cast<simulator::AccessTerminal*>(remote.terminal(4))->state().records.size();
  }),
            0u);

  got = folder.collect(config, pass);
  ASSERT_EQ(got.status, 0) << got.out << got.err;
  EXPECT_EQ(testing::terminalsOf(pass), "L/attend/1:140 L/door/3:0 N/attend/2:25 N/door/4:0 ");
  EXPECT_EQ(testing::storedRows(database.text(), "attendance_records"), expectedAttendance());
  EXPECT_EQ(testing::storedRows(database.text(), "access_records"), expectedAccess());
}

INSTANTIATE_TEST_SUITE_P(LocalAndNetwork, CollectMixedLinesTest,
                         ::testing::Combine(testing::bothEngines(),
                                            ::testing::Values(kRaw, kComPort)),
                         testing::EngineAndCaseName());

}  // namespace
}  // namespace solvard::tool
