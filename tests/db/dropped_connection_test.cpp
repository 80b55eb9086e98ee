#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "db/database_fixture.hpp"
#include "db/pool.hpp"

namespace solvard::db::testing {
namespace {

// A PostgreSQL server that ends the test's sessions, as an administrator or a restart would.
class DroppedConnection : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!database_.create()) GTEST_SKIP() << "SOLVARD_PG_CONNECT is not set";
    ASSERT_EQ(admin_->Open(database_.server()), Outcome::kOk) << admin_->lastDiagnostic().text();
  }

  // Ends every session of this test from the administrator's session and waits until the server
  // has let them go.
  void terminateSessions() {
    const std::string mine =
        "from pg_stat_activity where application_name = '" + database_.schema() + "'";
    Rows rows;
    ASSERT_EQ(admin_->queryRows("select pg_terminate_backend(pid) " + mine, rows), Outcome::kOk)
        << admin_->lastDiagnostic().text();
    ASSERT_FALSE(rows.empty());
    for (int pass = 0; pass < 500; ++pass) {
      ASSERT_EQ(admin_->queryRows("select count(*) " + mine, rows), Outcome::kOk);
      if (rows == Rows{{"0"}}) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    FAIL() << "the server did not end the sessions";
  }

  Database database_{Engine::kPostgresql};
  std::unique_ptr<Connection> admin_ = makeOdbcConnection();
};

TEST_F(DroppedConnection, TheNextStatementReportsItLostAndOneReopenRecovers) {
  auto connection = makeOdbcConnection();
  ASSERT_EQ(connection->Open(database_.text()), Outcome::kOk);
  ASSERT_EQ(connection->Execute("create table Records (CardNo varchar(32))"), Outcome::kOk);
  ASSERT_EQ(connection->BeginTrans(), Outcome::kOk);
  ASSERT_EQ(connection->Execute("insert into Records values('1')"), Outcome::kOk);
  terminateSessions();

  EXPECT_EQ(connection->Execute("insert into Records values('2')"), Outcome::kConnectionLost);
  // What PostgreSQL says to a session it ends.
  EXPECT_EQ(connection->lastDiagnostic().sqlState, "57P01") << connection->lastDiagnostic().text();
  EXPECT_EQ(connection->State(), kStateClosed);
  EXPECT_FALSE(connection->inTransaction());

  ASSERT_EQ(connection->Open(), Outcome::kOk) << connection->lastDiagnostic().text();
  EXPECT_EQ(connection->Execute("insert into Records values('3')"), Outcome::kOk);
  Rows rows;
  EXPECT_EQ(connection->queryRows("select CardNo from Records", rows), Outcome::kOk);
  EXPECT_EQ(rows, (Rows{{"3"}}));
}

TEST_F(DroppedConnection, AnAliveCheckFindsItLost) {
  auto connection = makeOdbcConnection();
  ASSERT_EQ(connection->Open(database_.text()), Outcome::kOk);
  EXPECT_TRUE(connection->isAlive());
  terminateSessions();
  EXPECT_FALSE(connection->isAlive());
  EXPECT_EQ(connection->State(), kStateClosed);
  // What PostgreSQL says to a session it ends.
  EXPECT_EQ(connection->lastDiagnostic().sqlState, "57P01") << connection->lastDiagnostic().text();
}

TEST_F(DroppedConnection, ThePoolHandsOutAReopenedConnection) {
  ConnectionPool pool;
  {
    PooledConnection lease = pool.acquire(database_.text());
    ASSERT_TRUE(lease) << lease.diagnostic().text();
    ASSERT_EQ(lease->Execute("create table Records (CardNo varchar(32))"), Outcome::kOk);
  }
  ASSERT_EQ(pool.idleCount(database_.text()), 1u);
  terminateSessions();

  PooledConnection lease = pool.acquire(database_.text());
  ASSERT_TRUE(lease) << lease.diagnostic().text();
  EXPECT_EQ(lease->Execute("insert into Records values('1')"), Outcome::kOk)
      << lease->lastDiagnostic().text();
  lease.release();
  EXPECT_EQ(pool.idleCount(database_.text()), 1u);
}

}  // namespace
}  // namespace solvard::db::testing
