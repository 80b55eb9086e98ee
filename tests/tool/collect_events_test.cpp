// The events table on each engine: a record is told of once however often it is written, and
// the events come back in the order of their numbers.
#include "collect_events.hpp"

#include <gtest/gtest.h>

#include "collect_schema.hpp"
#include "db/database_fixture.hpp"
#include "db/odbc_connection.hpp"

namespace solvard::tool {
namespace {

using db::testing::Engine;

class CollectEventsTest : public ::testing::TestWithParam<Engine> {
 protected:
  void SetUp() override {
    if (!database.create()) GTEST_SKIP() << "SOLVARD_PG_CONNECT is not set";
    ASSERT_EQ(connection->Open(database.text()), db::Outcome::kOk);
    ASSERT_EQ(prepareCollectTables(*connection), "");
  }

  // "kind machine card occurrence" of every event after `after`, oldest first.
  std::vector<std::string> events(int64_t after = 0) {
    const auto read = readEvents(*connection, after, 100);
    EXPECT_TRUE(read);
    std::vector<std::string> shown;
    for (const auto& event : read.value_or(nlohmann::ordered_json::array())) {
      shown.push_back(event["kind"].get<std::string>() + " " + event["machine"].dump() + " " +
                      (event.contains("record")
                           ? event["record"]["card"].get<std::string>() + " " +
                                 event["record"]["occurrence"].get<std::string>()
                           : event["detail"].dump()));
    }
    return shown;
  }

  db::testing::Database database{GetParam()};
  std::unique_ptr<db::Connection> connection = db::makeOdbcConnection();
};

TEST_P(CollectEventsTest, ARecordWrittenAgainIsToldOfOnce) {
  std::unique_ptr<db::PreparedStatement> insert;
  const EventRow record{"record", "gate", 3,    "0000012345", "2026-12-10",
                        "08:15",  "v1",   "p1", "door"};
  for (int round = 0; round < 2; ++round) {
    ASSERT_EQ(connection->BeginTrans(), db::Outcome::kOk);
    ASSERT_TRUE(orderEvents(*connection));
    ASSERT_TRUE(writeRecordEvent(*connection, insert, record));
    ASSERT_EQ(connection->CommitTrans(), db::Outcome::kOk);
  }
  insert.reset();
  ASSERT_TRUE(writeEvent(*connection, {"pass", "gate", 3, "", "", "", "", "p1", R"({"given":1})"}));
  EXPECT_EQ(events(), (std::vector<std::string>{"record 3 0000012345 v1", "pass 3 {\"given\":1}"}));
  const auto all = readEvents(*connection, 0, 100);
  ASSERT_TRUE(all && all->size() == 2);
  EXPECT_EQ(events((*all)[0]["id"].get<int64_t>()),
            (std::vector<std::string>{"pass 3 {\"given\":1}"}));
}

TEST_P(CollectEventsTest, AClocksRecordsOfAPassAreToldOfOnceEvenWhenTheCommitIsRunAgain) {
  ASSERT_EQ(connection->Execute(
                "insert into attendance_records (line, machine, card, record_date, record_time,"
                " collected_at, occurrence, pass_id) values"
                " ('hall', 1, '000123', '2026-12-10', '08:01:00', 'x', 'c0.1', 'p2'),"
                " ('hall', 1, '000124', '2026-12-10', '08:00:00', 'x', 'c0.1', 'p2'),"
                " ('hall', 2, '000125', '2026-12-10', '08:00:00', 'x', 'c0.1', 'p2')"),
            db::Outcome::kOk);
  for (int round = 0; round < 2; ++round) {
    ASSERT_EQ(connection->BeginTrans(), db::Outcome::kOk);
    ASSERT_TRUE(orderEvents(*connection));
    ASSERT_TRUE(writeAttendanceEvents(*connection, "hall", 1, "p2"));
    ASSERT_EQ(connection->CommitTrans(), db::Outcome::kOk);
  }
  EXPECT_EQ(events(), (std::vector<std::string>{"record 1 000124 c0.1", "record 1 000123 c0.1"}));
}

INSTANTIATE_TEST_SUITE_P(Engines, CollectEventsTest,
                         ::testing::Values(Engine::kSqlite, Engine::kPostgresql),
                         db::testing::engineName);

}  // namespace
}  // namespace solvard::tool
