#include "db/timeouts.hpp"

#include <gtest/gtest.h>

namespace solvard::db {
namespace {

using std::chrono::milliseconds;

// What each connection text leaves to the driver and what bounds it runs under.
TEST(SessionBounds, DefaultsApplyWhereTheTextGivesNoBoundOfItsOwn) {
  struct Case {
    std::string text;
    std::string odbc;
    long long login;
    bool giveLogin;
    long long statement;
    bool sqlite;
    long long lockWait;
    long long sqliteStatement;
  };
  const std::string pg = "Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=5432;Uid=u";
  const std::vector<Case> cases = {
      {pg, pg, 10000, true, 30000, false, 0, 0},
      {"DSN=Attendance", "DSN=Attendance", 10000, true, 30000, false, 0, 0},
      // libpq's own connect timeout wins, and the driver is not given both.
      {pg + ";pqopt={connect_timeout=3 sslmode=disable}",
       pg + ";pqopt={connect_timeout=3 sslmode=disable}", 3000, false, 30000, false, 0, 0},
      {pg + ";PQOPT={Connect_Timeout = x}", pg + ";PQOPT={Connect_Timeout = x}", 0, false, 30000,
       false, 0, 0},
      // A statement bound the server is told by the text itself.
      {pg + ";ConnSettings={set statement_timeout to 1000}",
       pg + ";ConnSettings={set statement_timeout to 1000}", 10000, true, 0, false, 0, 0},
      // SQLite: the lock wait is the bound; opening gets half the login bound.
      {"Driver=SQLite3;Database=/a.db;JournalMode=WAL;",
       "Driver=SQLite3;Database=/a.db;JournalMode=WAL;Timeout=5000", 10000, true, 0, true, 15000,
       30000},
      {"driver={sqlite3};database=/a.db", "driver={sqlite3};database=/a.db;Timeout=5000", 10000,
       true, 0, true, 15000, 30000},
      {"Driver=SQLite3;Database=/a.db;Timeout=500", "Driver=SQLite3;Database=/a.db;Timeout=500",
       10000, true, 0, true, 0, 1000},
      {"Driver=SQLite3;Database=/a.db;timeout=soon", "Driver=SQLite3;Database=/a.db;timeout=soon",
       10000, true, 0, true, 0, 200000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const SessionBounds bounds = sessionBounds(c.text);
    EXPECT_EQ(bounds.odbc, c.odbc);
    EXPECT_EQ(bounds.login, milliseconds(c.login));
    EXPECT_EQ(bounds.giveLogin, c.giveLogin);
    EXPECT_EQ(bounds.statement, milliseconds(c.statement));
    EXPECT_EQ(bounds.sqlite, c.sqlite);
    EXPECT_EQ(bounds.sqliteLockWait, milliseconds(c.lockWait));
    EXPECT_EQ(bounds.sqliteStatement, milliseconds(c.sqliteStatement));
  }
}

TEST(SessionBounds, TimeoutTextsNameTheBound) {
  const std::vector<std::pair<long long, std::string>> cases = {
      {30000, "timed out after 30 s"}, {1000, "timed out after 1 s"},
      {500, "timed out after 0.5 s"},  {2250, "timed out after 2.2 s"},
      {12600, "timed out after 13 s"},
  };
  for (const auto& [ms, text] : cases) EXPECT_EQ(timedOutText(milliseconds(ms)), text);
}

}  // namespace
}  // namespace solvard::db
