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
