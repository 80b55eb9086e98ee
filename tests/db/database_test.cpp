#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "db/database_fixture.hpp"
#include "db/schema.hpp"
#include "db/statements.hpp"

namespace solvard::db::testing {
namespace {

const Row kFirst{"3", "123456", "2001-05-07", "08:30:00"};
const Row kSecond{"3", "000007", "2001-05-08", "17:05:00"};
const Row kThird{"3", "201099", "2001-05-09", "23:59:00"};

std::string insertInto(const std::string& table, const Row& row) {
  return "insert into " + table + " values('" + row[0] + "','" + row[1] + "','" + row[2] + "','" +
         row[3] + "')";
}

// The statements of one attendance record, as the download executes them.
void writeRecord(Connection& c, const Row& row) {
  EXPECT_EQ(c.Execute(insertInto("WorkCardSource", row)), Outcome::kOk)
      << c.lastDiagnostic().text();
  EXPECT_EQ(c.Execute(deleteWithFrom("delete WorkCardReadTime")), Outcome::kOk)
      << c.lastDiagnostic().text();
  EXPECT_EQ(c.Execute(insertInto("WorkCardReadTime", row)), Outcome::kOk)
      << c.lastDiagnostic().text();
}

// The source tree: ctest names it; a test program started by hand finds it from here.
std::filesystem::path sourceDir() {
  if (const char* dir = std::getenv("SOLVARD_SOURCE_DIR"); dir != nullptr && *dir != '\0') {
    return dir;
  }
  return std::filesystem::path(__FILE__).parent_path().parent_path().parent_path();
}

using DbOnEngine = DatabaseTest;

TEST_P(DbOnEngine, AttendanceStatementsWriteEveryRecordAndKeepTheLast) {
  ASSERT_TRUE(ensureAttendanceTables(*connection_).empty());
  ASSERT_EQ(connection_->BeginTrans(), Outcome::kOk);
  for (const Row& row : {kFirst, kSecond, kThird}) writeRecord(*connection_, row);
  ASSERT_EQ(connection_->CommitTrans(), Outcome::kOk);
  EXPECT_EQ(
      rows("select MachineNo, CardNo, CardDate, CardTime from WorkCardSource order by CardDate"),
      (Rows{kFirst, kSecond, kThird}));
  EXPECT_EQ(rows("select * from WorkCardReadTime"), (Rows{kThird}));
}

TEST_P(DbOnEngine, RolledBackRowsAreGoneAndAutomaticCommitReturns) {
  ASSERT_TRUE(ensureAttendanceTables(*connection_).empty());
  ASSERT_EQ(connection_->BeginTrans(), Outcome::kOk);
  writeRecord(*connection_, kFirst);
  EXPECT_EQ(rows("select * from WorkCardSource"), Rows{});  // not visible before the commit
  ASSERT_EQ(connection_->RollbackTrans(), Outcome::kOk);
  EXPECT_EQ(rows("select * from WorkCardSource"), Rows{});
  EXPECT_EQ(rows("select * from WorkCardReadTime"), Rows{});

  EXPECT_EQ(connection_->Execute(insertInto("WorkCardSource", kSecond)), Outcome::kOk);
  EXPECT_EQ(rows("select * from WorkCardSource"), (Rows{kSecond}));

  // A transaction still open when the connection closes is undone.
  ASSERT_EQ(connection_->BeginTrans(), Outcome::kOk);
  writeRecord(*connection_, kThird);
  ASSERT_EQ(connection_->Close(), Outcome::kOk);
  EXPECT_EQ(rows("select * from WorkCardSource"), (Rows{kSecond}));
}

TEST_P(DbOnEngine, AStatementRefusedKeepsTheSessionAndSaysWhy) {
  EXPECT_EQ(connection_->Execute("insert into NoSuchTable values('1')"), Outcome::kFailed);
  const Diagnostic& why = connection_->lastDiagnostic();
  if (GetParam() == Engine::kSqlite) {
    EXPECT_EQ(why.sqlState, "HY000");
    EXPECT_EQ(why.nativeCode, 1);
    EXPECT_EQ(why.message, "[SQLite]no such table: NoSuchTable (1)");
  } else {
    EXPECT_EQ(why.sqlState, "42P01");
    EXPECT_EQ(why.nativeCode, 1);
    EXPECT_TRUE(why.message.starts_with("ERROR: relation \"nosuchtable\" does not exist"))
        << why.message;
  }
  EXPECT_EQ(connection_->State(), kStateOpen);
  EXPECT_TRUE(connection_->isAlive());
  EXPECT_TRUE(connection_->lastDiagnostic().empty());
}

TEST_P(DbOnEngine, ResultSetsAreReleasedAtOnce) {
  ASSERT_TRUE(ensureAttendanceTables(*connection_).empty());
  connection_->Execute(insertInto("WorkCardSource", kFirst));
  connection_->Execute(insertInto("WorkCardSource", kSecond));
  // A result set left open would hold the table and make the delete and commit wait or fail.
  ASSERT_EQ(connection_->Execute("select * from WorkCardSource"), Outcome::kOk);
  ASSERT_EQ(connection_->BeginTrans(), Outcome::kOk);
  EXPECT_EQ(connection_->Execute("delete from WorkCardSource"), Outcome::kOk);
  EXPECT_EQ(connection_->Execute("delete from WorkCardSource"), Outcome::kOk);  // no row left
  ASSERT_EQ(connection_->CommitTrans(), Outcome::kOk) << connection_->lastDiagnostic().text();
  EXPECT_EQ(rows("select * from WorkCardSource"), Rows{});
}

TEST_P(DbOnEngine, PreparedInsertsBindTextValues) {
  ASSERT_TRUE(ensureAttendanceTables(*connection_).empty());
  auto insert = connection_->prepare("insert into WorkCardSource values(?,?,?,?)");
  ASSERT_NE(insert, nullptr) << connection_->lastDiagnostic().text();
  const Row odd{"-1", "it's", "", "a;b\"c"};
  ASSERT_EQ(connection_->BeginTrans(), Outcome::kOk);
  for (const Row& row : {kFirst, odd, kThird}) {
    EXPECT_EQ(insert->execute({row[0], row[1], row[2], row[3]}), Outcome::kOk)
        << connection_->lastDiagnostic().text();
  }
  ASSERT_EQ(connection_->CommitTrans(), Outcome::kOk);
  EXPECT_EQ(rows("select * from WorkCardSource order by CardNo"), (Rows{kFirst, kThird, odd}));

  EXPECT_EQ(insert->execute({"1", "2"}), Outcome::kFailed);
  EXPECT_FALSE(connection_->lastDiagnostic().sqlState.empty());
  EXPECT_EQ(connection_->State(), kStateOpen);
}

TEST_P(DbOnEngine, TablesAreMadeOnlyWhenMissing) {
  ASSERT_TRUE(ensureAccessRecordTable(*connection_, "Records").empty());
  ASSERT_EQ(connection_->Execute("Insert into Records values('1234567890','2001-06-29','08:05')"),
            Outcome::kOk);
  ASSERT_TRUE(ensureAccessRecordTable(*connection_, "Records").empty());
  ASSERT_TRUE(ensureAttendanceTables(*connection_).empty());
  ASSERT_TRUE(ensureAttendanceTables(*connection_).empty());
  EXPECT_EQ(rows("select CardNo, RecordDate, RecordTime from Records"),
            (Rows{{"1234567890", "2001-06-29", "08:05"}}));
  EXPECT_EQ(rows("select * from WorkCardReadTime"), Rows{});

  const Diagnostic refused = ensureAccessRecordTable(*connection_, "Records; drop table Records");
  EXPECT_EQ(refused,
            (Diagnostic{"HY000", 0, "\"Records; drop table Records\" is not a plain table name"}));
  EXPECT_EQ(rows("select count(*) from Records"), (Rows{{"1"}}));
}

// The shipped scripts make tables that take the statements the downloads execute.
TEST_P(DbOnEngine, ShippedSchemaScriptsTakeTheDownloadsStatements) {
  const std::string engine = GetParam() == Engine::kSqlite ? "sqlite" : "postgresql";
  for (const std::string script : {"attend.sql", "access_records.sql"}) {
    std::ifstream file(sourceDir() / "sql" / engine / script);
    ASSERT_TRUE(file) << script;
    std::string text;
    for (std::string line; std::getline(file, line);) {
      if (!line.starts_with("--")) text += line + "\n";
    }
    std::istringstream statements(text);
    for (std::string statement; std::getline(statements, statement, ';');) {
      if (statement.find_first_not_of(" \n") == std::string::npos) continue;
      EXPECT_EQ(connection_->Execute(statement), Outcome::kOk)
          << script << ": " << connection_->lastDiagnostic().text();
    }
    // Running a script again changes nothing.
    EXPECT_EQ(connection_->Execute(text.substr(0, text.find(';'))), Outcome::kOk) << script;
  }
  writeRecord(*connection_, kFirst);
  EXPECT_EQ(
      connection_->Execute("Insert into AccessRecords values('0000012345','2001-06-29','17:45')"),
      Outcome::kOk);
  EXPECT_EQ(rows("select * from WorkCardReadTime"), (Rows{kFirst}));
  EXPECT_EQ(rows("select * from AccessRecords"), (Rows{{"0000012345", "2001-06-29", "17:45"}}));
}

INSTANTIATE_TEST_SUITE_P(Engines, DbOnEngine,
                         ::testing::Values(Engine::kSqlite, Engine::kPostgresql), engineName);

}  // namespace
}  // namespace solvard::db::testing
