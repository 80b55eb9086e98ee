#include "db/pool.hpp"

#include <gtest/gtest.h>

#include "db/scripted_connection.hpp"

namespace solvard::db {
namespace {

using Strings = std::vector<std::string>;

// A pool of scripted connections; `made` keeps sight of each one it hands out.
class PoolTest : public ::testing::Test {
 protected:
  ConnectionPool pool{[this] {
                        auto connection = std::make_unique<ScriptedConnection>();
                        made.push_back(connection.get());
                        if (failOpen) connection->failNext("Open", {"08001", 0, "no server"});
                        return connection;
                      },
                      2};
  std::vector<ScriptedConnection*> made;
  bool failOpen = false;
};

TEST_F(PoolTest, GivesBackTheSameOpenConnectionForTheSameText) {
  Connection* first = nullptr;
  {
    PooledConnection lease = pool.acquire("a.db");
    ASSERT_TRUE(lease);
    EXPECT_EQ(lease->State(), kStateOpen);
    first = &*lease;
    EXPECT_EQ(lease->Execute("insert into T values('1')"), Outcome::kOk);
  }
  EXPECT_EQ(pool.idleCount("a.db"), 1u);
  PooledConnection again = pool.acquire("a.db");
  EXPECT_EQ(&*again, first);
  EXPECT_EQ(pool.idleCount("a.db"), 0u);
  PooledConnection other = pool.acquire("b.db");
  EXPECT_NE(&*other, first);
  ASSERT_EQ(made.size(), 2u);
  EXPECT_EQ(made[0]->log(), (Strings{"Open a.db", "Execute insert into T values('1')", "ping"}));
  EXPECT_EQ(made[1]->log(), (Strings{"Open b.db"}));
}

TEST_F(PoolTest, AConnectionComesBackWithoutItsTransaction) {
  PooledConnection lease = pool.acquire("a.db");
  lease->BeginTrans();
  lease->Execute("insert into T values('1')");
  lease.release();
  EXPECT_FALSE(lease);
  PooledConnection again = pool.acquire("a.db");
  EXPECT_FALSE(again->inTransaction());
  EXPECT_TRUE(made[0]->committed().empty());
  EXPECT_EQ(made[0]->log(), (Strings{"Open a.db", "BeginTrans", "Execute insert into T values('1')",
                                     "RollbackTrans", "ping"}));
}

TEST_F(PoolTest, ADroppedConnectionIsOpenedAgainOnce) {
  pool.acquire("a.db").release();
  made[0]->dropSession();
  PooledConnection lease = pool.acquire("a.db");
  ASSERT_TRUE(lease);
  EXPECT_EQ(lease->Execute("insert into T values('1')"), Outcome::kOk);
  EXPECT_EQ(made.size(), 1u);
  EXPECT_EQ(made[0]->log(), (Strings{"Open a.db", "ping failed", "Close", "Open a.db",
                                     "Execute insert into T values('1')"}));

  lease.release();
  made[0]->dropSession();
  made[0]->failNext("Open", {"08001", 0, "the server is gone"});
  PooledConnection failed = pool.acquire("a.db");
  EXPECT_FALSE(failed);
  EXPECT_EQ(failed.diagnostic(), (Diagnostic{"08001", 0, "the server is gone"}));
  EXPECT_EQ(pool.idleCount("a.db"), 0u);
}

TEST_F(PoolTest, ANewConnectionThatDoesNotOpenGivesItsReason) {
  failOpen = true;
  PooledConnection lease = pool.acquire("a.db");
  EXPECT_FALSE(lease);
  EXPECT_EQ(lease.diagnostic(), (Diagnostic{"08001", 0, "no server"}));
  lease.release();
  EXPECT_EQ(pool.idleCount("a.db"), 0u);
}

TEST_F(PoolTest, KeepsNoMoreThanItsLimitAndNoClosedOnes) {
  {
    PooledConnection a = pool.acquire("a.db");
    PooledConnection b = pool.acquire("a.db");
    PooledConnection c = pool.acquire("a.db");
  }
  EXPECT_EQ(made.size(), 3u);
  EXPECT_EQ(pool.idleCount("a.db"), 2u);
  {
    PooledConnection a = pool.acquire("a.db");
    PooledConnection b = pool.acquire("a.db");
    a->Close();
  }
  EXPECT_EQ(made.size(), 3u);
  EXPECT_EQ(pool.idleCount("a.db"), 1u);
}

}  // namespace
}  // namespace solvard::db
