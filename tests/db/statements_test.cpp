#include "db/statements.hpp"

#include <gtest/gtest.h>

namespace solvard::db {
namespace {

TEST(DbStatements, DeleteGetsItsFromOnlyWhereItLacksOne) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"delete WorkCardReadTime", "delete from WorkCardReadTime"},
      {"DELETE  WorkCardReadTime where CardNo = '1'",
       "DELETE  from WorkCardReadTime where CardNo = '1'"},
      {" Delete\tT", " Delete\tfrom T"},
      {"delete from WorkCardReadTime", "delete from WorkCardReadTime"},
      {"delete FROM T", "delete FROM T"},
      {"delete fromage", "delete from fromage"},
      {"delete", "delete"},
      {"deleted T", "deleted T"},
      {"insert into T values('delete x')", "insert into T values('delete x')"},
  };
  for (const auto& [statement, expected] : cases) {
    EXPECT_EQ(deleteWithFrom(statement), expected) << statement;
  }
}

TEST(DbStatements, InsertValuesQuotesEachValueInOrder) {
  EXPECT_EQ(
      insertValues("insert into", "WorkCardSource", {"3", "000007", "2001-05-08", "08:45:00"}),
      "insert into WorkCardSource values('3','000007','2001-05-08','08:45:00')");
  EXPECT_EQ(
      insertValues("Insert into", "dbo.[Access Records]", {"1234567890", "2001-06-29", "08:05"}),
      "Insert into dbo.[Access Records] values('1234567890','2001-06-29','08:05')");
  EXPECT_EQ(insertValues("insert into", "T", {""}), "insert into T values('')");
  EXPECT_EQ(insertValues("insert into", "T", {}), "insert into T values()");
}

TEST(DbStatements, PlainTableNamesOnly) {
  const std::string longest(128, 'a');
  for (const std::string& name :
       std::vector<std::string>{"Records", "_t1", "dbo.Records", "db.dbo.Records", longest}) {
    EXPECT_TRUE(isPlainTableName(name)) << name;
  }
  for (const std::string& name : std::vector<std::string>{
           "", "1Records", "Records;drop table T", "Records x", "[Records]", "\"Records\"",
           "a.b.c.d", "dbo.", ".Records", "Re-cords", "Récords", longest + "a"}) {
    EXPECT_FALSE(isPlainTableName(name)) << name;
  }
}

}  // namespace
}  // namespace solvard::db
