#include <gtest/gtest.h>

#include <functional>

#include "db/scripted_connection.hpp"

namespace solvard::db {
namespace {

using Strings = std::vector<std::string>;

const Diagnostic kNotOpen{"08003", 0, "the connection is not open"};

TEST(ConnectionRules, OperationsOnAClosedConnectionAreRefusedBeforeTheSession) {
  ScriptedConnection c;
  Rows rows{{"stale"}};
  const std::vector<std::pair<std::string, std::function<Outcome()>>> operations = {
      {"BeginTrans", [&] { return c.BeginTrans(); }},
      {"Execute", [&] { return c.Execute("delete from T"); }},
      {"CommitTrans", [&] { return c.CommitTrans(); }},
      {"RollbackTrans", [&] { return c.RollbackTrans(); }},
      {"Close", [&] { return c.Close(); }},
      {"queryRows", [&] { return c.queryRows("select 1", rows); }},
      {"prepare", [&] { return c.prepare("select 1") ? Outcome::kOk : Outcome::kFailed; }},
      {"isAlive", [&] { return c.isAlive() ? Outcome::kOk : Outcome::kFailed; }},
  };
  for (const auto& [name, operation] : operations) {
    EXPECT_EQ(operation(), Outcome::kFailed) << name;
    EXPECT_EQ(c.lastDiagnostic(), kNotOpen) << name;
  }
  EXPECT_TRUE(rows.empty());
  EXPECT_EQ(c.State(), kStateClosed);
  EXPECT_TRUE(c.log().empty());
}

TEST(ConnectionRules, OpenTakesTheConnectionStringAndRefusesASecondOpen) {
  ScriptedConnection c;
  c.ConnectionString("attend.db");
  EXPECT_EQ(c.Open(), Outcome::kOk);
  EXPECT_EQ(c.State(), kStateOpen);
  EXPECT_EQ(c.Open("other.db"), Outcome::kFailed);
  EXPECT_EQ(c.lastDiagnostic(), (Diagnostic{"HY010", 0, "the connection is already open"}));
  EXPECT_EQ(c.ConnectionString(), "attend.db");
  EXPECT_EQ(c.Close(), Outcome::kOk);
  EXPECT_EQ(c.Open("other.db", "clerk", "secret", -1), Outcome::kOk);
  EXPECT_EQ(c.ConnectionString(), "other.db");
  EXPECT_EQ(c.log(), (Strings{"Open attend.db", "Close", "Open other.db"}));

  c.failNext("Open", {"08001", 7, "no server"});
  c.Close();
  EXPECT_EQ(c.Open(), Outcome::kFailed);
  EXPECT_EQ(c.State(), kStateClosed);
  EXPECT_EQ(c.lastDiagnostic(), (Diagnostic{"08001", 7, "no server"}));
}

TEST(ConnectionRules, TransactionsDoNotNestAndEndOnlyWhenBegun) {
  ScriptedConnection c;
  ASSERT_EQ(c.Open("db"), Outcome::kOk);
  EXPECT_EQ(c.BeginTrans(), Outcome::kOk);
  EXPECT_EQ(c.BeginTrans(), Outcome::kFailed);
  EXPECT_EQ(c.lastDiagnostic(),
            (Diagnostic{"HY010", 0, "a transaction is already open on this connection"}));
  EXPECT_EQ(c.Execute("insert into T values('1')"), Outcome::kOk);
  EXPECT_EQ(c.CommitTrans(), Outcome::kOk);
  EXPECT_TRUE(c.lastDiagnostic().empty());
  EXPECT_EQ(c.CommitTrans(), Outcome::kFailed);
  EXPECT_EQ(c.lastDiagnostic(), (Diagnostic{"25000", 0, "no transaction is open"}));
  EXPECT_EQ(c.RollbackTrans(), Outcome::kFailed);
  c.BeginTrans();
  c.Execute("insert into T values('2')");
  EXPECT_EQ(c.RollbackTrans(), Outcome::kOk);
  EXPECT_FALSE(c.inTransaction());
  c.Execute("insert into T values('3')");
  EXPECT_EQ(c.committed(), (Strings{"insert into T values('1')", "insert into T values('3')"}));
  EXPECT_EQ(c.log(), (Strings{"Open db", "BeginTrans", "Execute insert into T values('1')",
                              "CommitTrans", "BeginTrans", "Execute insert into T values('2')",
                              "RollbackTrans", "Execute insert into T values('3')"}));
}

TEST(ConnectionRules, AFailedCommitLeavesTheTransactionToBeRolledBack) {
  ScriptedConnection c;
  c.Open("db");
  c.BeginTrans();
  c.Execute("insert into T values('1')");
  c.failNext("CommitTrans", {"40001", 1205, "deadlock victim"});
  EXPECT_EQ(c.CommitTrans(), Outcome::kFailed);
  EXPECT_TRUE(c.inTransaction());
  EXPECT_EQ(c.lastDiagnostic(), (Diagnostic{"40001", 1205, "deadlock victim"}));
  EXPECT_EQ(c.RollbackTrans(), Outcome::kOk);
  EXPECT_TRUE(c.committed().empty());
}

TEST(ConnectionRules, CloseRollsBackWhatIsNotCommitted) {
  ScriptedConnection c;
  c.Open("db");
  c.BeginTrans();
  c.Execute("insert into T values('1')");
  EXPECT_EQ(c.Close(), Outcome::kOk);
  EXPECT_FALSE(c.inTransaction());
  EXPECT_TRUE(c.committed().empty());
}

TEST(ConnectionRules, ALostSessionClosesItselfAndOpensAgainWithItsText) {
  ScriptedConnection c;
  c.Open("db");
  c.BeginTrans();
  c.Execute("insert into T values('1')");
  c.dropSession();
  EXPECT_EQ(c.Execute("insert into T values('2')"), Outcome::kConnectionLost);
  EXPECT_EQ(c.State(), kStateClosed);
  EXPECT_FALSE(c.inTransaction());
  EXPECT_EQ(c.lastDiagnostic(), (Diagnostic{"08S01", 0, "the server closed the connection"}));
  EXPECT_EQ(c.Open(), Outcome::kOk);
  EXPECT_EQ(c.Execute("insert into T values('3')"), Outcome::kOk);
  EXPECT_EQ(c.committed(), (Strings{"insert into T values('3')"}));
  EXPECT_EQ(c.log(), (Strings{"Open db", "BeginTrans", "Execute insert into T values('1')",
                              "Execute insert into T values('2') failed", "Close", "Open db",
                              "Execute insert into T values('3')"}));

  // A refusal that is not a lost session leaves the session open.
  c.failStatement("insert into T values('4')", {"23000", 19, "constraint failed"});
  EXPECT_EQ(c.Execute("insert into T values('4')"), Outcome::kFailed);
  EXPECT_EQ(c.State(), kStateOpen);
  EXPECT_EQ(c.lastDiagnostic(), (Diagnostic{"23000", 19, "constraint failed"}));
  EXPECT_EQ(c.Execute("insert into T values('5')"), Outcome::kOk);
  EXPECT_TRUE(c.lastDiagnostic().empty());
}

TEST(ConnectionRules, AnAliveCheckThatFindsTheSessionLostClosesIt) {
  ScriptedConnection c;
  c.Open("db");
  EXPECT_TRUE(c.isAlive());
  c.failNext("ping", {"42000", 0, "select 1 is not this engine's dialect"});
  EXPECT_TRUE(c.isAlive());
  EXPECT_TRUE(c.lastDiagnostic().empty());
  c.dropSession();
  EXPECT_FALSE(c.isAlive());
  EXPECT_EQ(c.State(), kStateClosed);
  EXPECT_EQ(c.lastDiagnostic().sqlState, "08S01");
}

TEST(ConnectionRules, PreparedStatementsBelongToTheirSession) {
  ScriptedConnection c;
  c.Open("db");
  auto insert = c.prepare("insert into T values(?,?)");
  ASSERT_NE(insert, nullptr);
  EXPECT_EQ(insert->execute({"1", "it's"}), Outcome::kOk);
  c.Close();
  c.Open();
  EXPECT_EQ(insert->execute({"2", "x"}), Outcome::kFailed);
  EXPECT_EQ(
      c.lastDiagnostic(),
      (Diagnostic{"HY010", 0,
                  "the statement was prepared in a session that has ended; prepare it again"}));
  EXPECT_EQ(c.committed(), (Strings{"insert into T values('1','it''s')"}));

  c.dropSession();
  EXPECT_EQ(c.prepare("insert into T values(?)"), nullptr);
  EXPECT_EQ(c.State(), kStateClosed);
}

TEST(ConnectionRules, CursorLocationIsServerOrClient) {
  ScriptedConnection c;
  EXPECT_EQ(c.CursorLocation(), kUseServer);
  EXPECT_EQ(c.CursorLocation(kUseClient), Outcome::kOk);
  EXPECT_EQ(c.CursorLocation(1), Outcome::kFailed);
  EXPECT_EQ(c.lastDiagnostic(),
            (Diagnostic{"HY000", 0, "cursor location 1 is neither 2 (server) nor 3 (client)"}));
  EXPECT_EQ(c.CursorLocation(), kUseClient);
  EXPECT_EQ(c.Open("db"), Outcome::kOk);
  EXPECT_EQ(c.CursorLocation(kUseServer), Outcome::kOk);
  EXPECT_EQ(c.CursorLocation(), kUseServer);
}

TEST(ConnectionRules, DiagnosticTextForTheLog) {
  EXPECT_EQ((Diagnostic{"42S02", 1, "no such table: X"}).text(), "[42S02] (1) no such table: X");
  for (const char* lost :
       {"08S01", "08003", "08006", "08001", "57P01", "57P02", "57P03", "HYT01"}) {
    EXPECT_TRUE(isConnectionLostState(lost)) << lost;
  }
  for (const char* kept : {"", "42S02", "HY000", "25000", "40001", "57014", "HYT00", "42P01"}) {
    EXPECT_FALSE(isConnectionLostState(kept)) << kept;
  }
}

}  // namespace
}  // namespace solvard::db
