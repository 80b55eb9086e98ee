#include <gtest/gtest.h>

#include "db/database_fixture.hpp"
#include "db/schema.hpp"

namespace solvard::db::testing {
namespace {

// Connection texts that cannot open: the connection stays closed and says why, in the words of
// the layer, the driver manager or the driver.
TEST(DbOpen, ATextThatDoesNotOpenLeavesTheConnectionClosedWithTheReason) {
  struct Case {
    std::string text;
    Diagnostic expected;
  };
  const std::vector<Case> cases = {
      {"Driver=NoSuchDriver;Database=x",
       {"01000", 0, "[unixODBC][Driver Manager]Can't open lib 'NoSuchDriver' : file not found"}},
      {"Provider=OraOLEDB.Oracle;Data Source=orcl",
       {"08001", 0,
        "the provider \"OraOLEDB.Oracle\" is not supported; give an ODBC connection text "
        "(Driver=...;... or DSN=...) or the path of an SQLite database file"}},
      {"", {"08001", 0, "the connection text is empty"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    auto connection = makeOdbcConnection();
    EXPECT_EQ(connection->Open(c.text), Outcome::kFailed);
    EXPECT_EQ(connection->State(), kStateClosed);
    EXPECT_EQ(connection->lastDiagnostic(), c.expected);
    EXPECT_FALSE(connection->isAlive());
  }
}

TEST(DbOpen, AFileInAFolderThatDoesNotExistDoesNotOpen) {
  Database database(Engine::kSqlite);
  database.create();
  auto connection = makeOdbcConnection();
  const std::string path =
      solvard::testing::driverPath(database.folder() / "missing" / "attend.db");
  EXPECT_EQ(connection->Open(path), Outcome::kFailed);
  EXPECT_EQ(connection->State(), kStateClosed);
  EXPECT_EQ(connection->lastDiagnostic().sqlState, "HY000");
  EXPECT_EQ(connection->lastDiagnostic().message, "[SQLite]connect failed");
  EXPECT_EQ(connection->lastDiagnostic().nativeCode, 14);  // SQLITE_CANTOPEN
}

// A plain path is the embedded default, and may hold what connection texts reserve.
TEST(DbOpen, APlainPathOpensAnSqliteFileOfThatName) {
  Database database(Engine::kSqlite);
  database.create();
  const std::filesystem::path file = database.folder() / "Time Clock; {2001} 100%.db";
  const std::string path = solvard::testing::driverPath(file);
  auto connection = makeOdbcConnection();
  ASSERT_EQ(connection->Open(path), Outcome::kOk) << connection->lastDiagnostic().text();
  EXPECT_EQ(connection->ConnectionString(), path);
  EXPECT_TRUE(ensureAttendanceTables(*connection).empty());
  EXPECT_TRUE(connection->isAlive());
  EXPECT_EQ(connection->Close(), Outcome::kOk);
  EXPECT_TRUE(std::filesystem::is_regular_file(file));

  // Again, with the user and password a host may give (SQLite takes and ignores them).
  auto again = makeOdbcConnection();
  ASSERT_EQ(again->Open(path, "clerk", "secret"), Outcome::kOk) << again->lastDiagnostic().text();
  Rows rows;
  EXPECT_EQ(again->queryRows("select count(*) from WorkCardSource", rows), Outcome::kOk);
  EXPECT_EQ(rows, (Rows{{"0"}}));
}

// A file named by its path commits through the write-ahead log, synchronised at every commit;
// an ODBC text keeps the driver's own choice (rollback journal, synchronous NORMAL).
TEST(DbOpen, AFileNamedByItsPathKeepsEveryCommitThroughAPowerLoss) {
  Database database(Engine::kSqlite);
  database.create();
  const std::string byText =
      "Driver=SQLite3;Database=" + solvard::testing::driverPath(database.folder() / "odbc.db");
  const std::vector<std::pair<std::string, Rows>> cases = {
      {database.text(), {{"wal"}, {"2"}}},
      {byText, {{"delete"}, {"1"}}},
  };
  for (const auto& [text, expected] : cases) {
    SCOPED_TRACE(text);
    auto connection = makeOdbcConnection();
    ASSERT_EQ(connection->Open(text), Outcome::kOk) << connection->lastDiagnostic().text();
    ASSERT_EQ(connection->Execute("create table Records (CardNo varchar(32))"), Outcome::kOk);
    Rows journal;
    Rows synchronous;
    EXPECT_EQ(connection->queryRows("PRAGMA journal_mode", journal), Outcome::kOk);
    EXPECT_EQ(connection->queryRows("PRAGMA synchronous", synchronous), Outcome::kOk);
    EXPECT_EQ((Rows{journal.at(0), synchronous.at(0)}), expected);
  }
}

}  // namespace
}  // namespace solvard::db::testing
