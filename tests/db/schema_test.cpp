#include "db/schema.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "db/scripted_connection.hpp"
#include "db/statements.hpp"
#include "db/table_name.hpp"

namespace solvard::db {
namespace {

using Strings = std::vector<std::string>;

// The helper that makes an access-record table takes exactly the names the access-record
// download writes to (isTableName). `plain` marks the names the narrower plain rule takes too;
// the others are the ones the helper refused before it took the download's rule.
TEST(AccessRecordTable, TakesTheNamesTheDownloadTakes) {
  const struct {
    std::string name;
    bool taken;
    bool plain;
  } cases[] = {
      {"Records", true, true},
      {"dbo.Records", true, true},
      {"Записи", true, false},
      {"Récords", true, false},
      {"[Access Records]", true, false},
      {"\"Access Records\"", true, false},
      {"a.b.c.d", true, false},
      {std::string(129, 'a'), true, false},
      {"", false, false},
      {"1Records", false, false},
      {"Re-cords", false, false},
      {"Records; drop table Records", false, false},
      {"Records--", false, false},
      {"[a]]b]", false, false},
      {"Re\xC3", false, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(isTableName(c.name), c.taken) << c.name;
    EXPECT_EQ(isPlainTableName(c.name), c.plain) << c.name;
    ScriptedConnection connection;
    ASSERT_EQ(connection.Open("records.db"), Outcome::kOk);
    const Diagnostic made = ensureAccessRecordTable(connection, c.name);
    if (c.taken) {
      EXPECT_EQ(made, Diagnostic{}) << c.name;
      EXPECT_EQ(connection.log(),
                (Strings{"Open records.db", "Execute select * from " + c.name + " where 1 = 0"}));
    } else {
      EXPECT_EQ(made, (Diagnostic{"HY000", 0, "\"" + c.name + "\" is not a plain table name"}));
      EXPECT_EQ(connection.log(), Strings{"Open records.db"}) << c.name;
    }
  }
}

TEST(AccessRecordTable, AMissingTableIsMadeUnderTheNameAsGiven) {
  ScriptedConnection connection;
  ASSERT_EQ(connection.Open("records.db"), Outcome::kOk);
  const Diagnostic missing{"HY000", 1, "no such table: Access Records"};
  connection.failNext("Execute", missing);
  EXPECT_EQ(ensureAccessRecordTable(connection, "[Access Records]"), Diagnostic{});
  EXPECT_EQ(connection.log(),
            (Strings{"Open records.db", "Execute select * from [Access Records] where 1 = 0 failed",
                     "Execute create table [Access Records] (CardNo varchar(32), RecordDate "
                     "varchar(32), RecordTime varchar(32))"}));
}

}  // namespace
}  // namespace solvard::db
