// Texts through the ODBC layer, on the platform's own entry points: UTF-8 on Linux, UTF-16 (the
// W entry points) on Windows. What goes in comes back byte for byte, names included; on Windows
// a text that is not UTF-8 is refused before the driver sees it.
#include <gtest/gtest.h>

#include <string>

#include "db/database_fixture.hpp"

namespace solvard::db::testing {
namespace {

// A name and a card holder in three scripts, with the characters a connection text reserves.
// Characters of the basic plane only: under Wine the W calls reach an ANSI driver (sqlite3odbc)
// through unixODBC, which converts them as UCS-2 to the locale's code set, so a character
// beyond it (a surrogate pair) reaches the database mangled there, however it was passed.
const std::string kHolder =
    "Jos\xC3\xA9 \xE5\xBC\xA0\xE4\xB8\x89 \xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD \xE2\x82\xAC;{}=";

class OdbcTextTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(database_.create());
    ASSERT_EQ(connection_->Open(database_.text()), Outcome::kOk)
        << connection_->lastDiagnostic().text();
  }

  Database database_{Engine::kSqlite};
  std::unique_ptr<Connection> connection_ = makeOdbcConnection();
};

TEST_F(OdbcTextTest, TextsComeBackAsTheyWentIn) {
  // A long value too, read back in more than one piece.
  std::string longHolder;
  for (int i = 0; i < 200; ++i) longHolder += kHolder;
  ASSERT_EQ(connection_->Execute("create table \"Card \xC3\xA9\" (Holder varchar(4000))"),
            Outcome::kOk)
      << connection_->lastDiagnostic().text();
  ASSERT_EQ(connection_->Execute("insert into \"Card \xC3\xA9\" values ('" + kHolder + "')"),
            Outcome::kOk)
      << connection_->lastDiagnostic().text();
  auto insert = connection_->prepare("insert into \"Card \xC3\xA9\" values (?)");
  ASSERT_NE(insert, nullptr) << connection_->lastDiagnostic().text();
  for (const std::string& value : {longHolder, std::string()}) {
    const std::string_view values[] = {value};
    EXPECT_EQ(insert->execute(values), Outcome::kOk) << connection_->lastDiagnostic().text();
  }
  Rows rows;
  ASSERT_EQ(connection_->queryRows("select Holder, length(Holder) from \"Card \xC3\xA9\"", rows),
            Outcome::kOk)
      << connection_->lastDiagnostic().text();
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0], (Row{kHolder, "18"}));
  // Compared whole, not printed whole.
  EXPECT_TRUE(rows[1] == (Row{longHolder, "3600"})) << rows[1].at(0).size() << " bytes";
  EXPECT_EQ(rows[2], (Row{"", "0"}));
}

TEST_F(OdbcTextTest, TheDriversWordsComeThroughWhole) {
  EXPECT_EQ(connection_->Execute("select * from \"Missing \xE5\xBC\xA0\""), Outcome::kFailed);
  EXPECT_EQ(connection_->lastDiagnostic().message,
            "[SQLite]no such table: Missing \xE5\xBC\xA0 (1)");
}

#ifdef _WIN32
TEST_F(OdbcTextTest, TextThatIsNotUtf8IsRefusedBeforeTheDriver) {
  const Diagnostic notUtf8 = {"22021", 0, "the statement is not well-formed UTF-8 (at byte 22)"};
  EXPECT_EQ(connection_->Execute("create table Cards (\"N\xE9\" varchar(8))"), Outcome::kFailed);
  EXPECT_EQ(connection_->lastDiagnostic(), notUtf8);
  Rows rows;
  EXPECT_EQ(connection_->queryRows("select 1 from Cards \"\xE9\"", rows), Outcome::kFailed);
  EXPECT_EQ(connection_->lastDiagnostic().sqlState, "22021");
  EXPECT_EQ(connection_->prepare("select \xC0\xAF"), nullptr);
  EXPECT_EQ(connection_->lastDiagnostic().sqlState, "22021");

  ASSERT_EQ(connection_->Execute("create table Cards (Holder varchar(8))"), Outcome::kOk);
  auto insert = connection_->prepare("insert into Cards values (?)");
  ASSERT_NE(insert, nullptr);
  const std::string_view values[] = {"ok\xFF"};
  EXPECT_EQ(insert->execute(values), Outcome::kFailed);
  EXPECT_EQ(
      connection_->lastDiagnostic(),
      (Diagnostic{"22021", 0, "value 1 of the statement is not well-formed UTF-8 (at byte 2)"}));
  // Nothing reached the table, and the connection goes on.
  EXPECT_EQ(connection_->queryRows("select count(*) from Cards", rows), Outcome::kOk);
  EXPECT_EQ(rows, (Rows{{"0"}}));

  auto other = makeOdbcConnection();
  EXPECT_EQ(other->Open(database_.text() + "\xFF"), Outcome::kFailed);
  EXPECT_EQ(other->lastDiagnostic().sqlState, "08001");
}
#endif

}  // namespace
}  // namespace solvard::db::testing
