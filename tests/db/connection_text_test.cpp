#include "db/connection_text.hpp"

#include <gtest/gtest.h>

namespace solvard::db {
namespace {

struct TextCase {
  std::string host;
  std::string odbc;          // expected ODBC text, when it can be used
  std::string problem = "";  // expected refusal
};

TEST(ConnectionText, TranslatesTheFormsHostsAlreadyHave) {
  const std::vector<TextCase> cases = {
      // An ODBC text passes through unchanged, spaces, braces and trailing ';' included.
      {"Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=55432;Database=att;Uid=postgres;",
       "Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=55432;Database=att;Uid=postgres;"},
      {"DSN=Attendance; UID=clerk", "DSN=Attendance; UID=clerk"},
      {"Driver=SQLite3;Database={C:\\data\\a;b.db}", "Driver=SQLite3;Database={C:\\data\\a;b.db}"},
      // A text without '=' is an SQLite file, kept in the write-ahead log synchronised at commit.
      {"/var/lib/solvard/attend.db",
       "Driver=SQLite3;Database=/var/lib/solvard/attend.db;JournalMode=WAL;SyncPragma=FULL"},
      {"  C:\\Time Clock\\attend.db ",
       "Driver=SQLite3;Database=C:\\Time Clock\\attend.db;JournalMode=WAL;SyncPragma=FULL"},
      {"/tmp/{x}.db", "Driver=SQLite3;Database=/tmp/{x}.db;JournalMode=WAL;SyncPragma=FULL"},
      {"/tmp/a;b%20#1?.db",
       "Driver=SQLite3;Database=file:/tmp/a%3Bb%2520%231%3F.db;JournalMode=WAL;SyncPragma=FULL"},
      {"{x}.db", "Driver=SQLite3;Database=file:{x}.db;JournalMode=WAL;SyncPragma=FULL"},
      {"C:\\Time Clock\\a;b.db",
       "Driver=SQLite3;Database=file:///C:/Time Clock/a%3Bb.db;JournalMode=WAL;SyncPragma=FULL"},
      // The OLE DB bridge to ODBC is dropped; what it bridges stays.
      {"Provider=MSDASQL.1;DSN=Attendance;UID=clerk", "DSN=Attendance;UID=clerk"},
      {"Provider=MSDASQL;Persist Security Info=False;Data Source=Attendance;User ID=clerk;"
       "Password=a;b",
       "", "the connection text cannot be read: the part \"b\" has no '='"},
      {"Provider=MSDASQL;Persist Security Info=False;Data Source=Attendance;User ID=clerk;"
       "Password=\"a;b\"",
       "DSN=Attendance;UID=clerk;PWD={a;b}"},
      {"Provider=MSDASQL;Extended Properties=\"DSN=Attendance;UID=clerk\"",
       "DSN=Attendance;UID=clerk"},
      // Jet and ACE become the Access ODBC driver.
      {"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=C:\\att\\attend.mdb;Persist Security "
       "Info=False",
       "Driver={Microsoft Access Driver (*.mdb, *.accdb)};Dbq=C:\\att\\attend.mdb"},
      {"provider=microsoft.ace.oledb.12.0; data source = 'C:\\att\\it''s.accdb' ;"
       "Jet OLEDB:Database Password=secret;User ID=Admin",
       "Driver={Microsoft Access Driver (*.mdb, *.accdb)};Dbq=C:\\att\\it's.accdb;UID=Admin;"
       "PWD=secret"},
      {"Provider=Microsoft.ACE.OLEDB.16.0;Mode=Share Deny None", "",
       "the Access provider needs a Data Source (the file)"},
      // The SQL Server providers become the SQL Server ODBC driver.
      {"Provider=SQLOLEDB.1;Persist Security Info=False;User ID=sa;Password=p{w}d;"
       "Initial Catalog=Att;Data Source=HOST\\SQLEXPRESS",
       "Driver={ODBC Driver 17 for SQL Server};UID=sa;PWD=p{w}d;Database=Att;"
       "Server=HOST\\SQLEXPRESS"},
      {"Provider=SQLNCLI11;Server=db1;Database=Att;Integrated Security=SSPI;Encrypt=yes",
       "Driver={ODBC Driver 17 for SQL Server};Server=db1;Database=Att;Trusted_Connection=yes;"
       "Encrypt=yes"},
      {"Provider=MSOLEDBSQL;Data Source=db1;Integrated Security=False;User ID=u;Password={ x;}}}",
       "Driver={ODBC Driver 17 for SQL Server};Server=db1;UID=u;PWD={ x;}}}"},
      // Everything else is refused, with the reason.
      {"Provider=OraOLEDB.Oracle;Data Source=orcl", "",
       "the provider \"OraOLEDB.Oracle\" is not supported; give an ODBC connection text "
       "(Driver=...;... or DSN=...) or the path of an SQLite database file"},
      {"Provider=MSDASQL;Persist Security Info=False", "",
       "the MSDASQL provider needs a Data Source or Extended Properties"},
      {"Provider=MSDASQL;Provider=Other", "",
       "the MSDASQL provider needs a Data Source or Extended Properties"},
      {"", "", "the connection text is empty"},
      {"   ", "", "the connection text is empty"},
      {"Driver={SQLite3;Database=x", "",
       "the connection text cannot be read: the value of Driver is not closed"},
      {"Provider=SQLOLEDB;Password=\"a\"b", "",
       "the connection text cannot be read: the value of Password goes on after its closing mark"},
      {"=x;Driver=SQLite3", "",
       "the connection text cannot be read: a part has no key before its '='"},
  };
  for (const TextCase& c : cases) {
    SCOPED_TRACE(c.host);
    const TranslatedText result = odbcConnectionText(c.host);
    EXPECT_EQ(result.odbc, c.odbc);
    EXPECT_EQ(result.problem, c.problem);
    EXPECT_EQ(result.ok(), c.problem.empty());
  }
}

TEST(ConnectionText, ATextWithoutAnEqualsSignNamesAnSqliteFile) {
  for (std::string_view text : {"/data/att.db", "C:\\data\\att.db", "a;b.db", "att.db "}) {
    EXPECT_TRUE(namesSqliteFile(text)) << text;
  }
  for (std::string_view text :
       {"DSN=att", "Driver=SQLite3;Database=/data/att.db", "/data/a=b.db"}) {
    EXPECT_FALSE(namesSqliteFile(text)) << text;
  }
}

TEST(ConnectionText, ParsesBracesAndQuotesWithTheirEscapes) {
  std::string problem;
  const auto parts =
      parseConnectionText(" A = 1 ;;B={x;}}y} ; C='it''s' ;D=\"say \"\"hi\"\"\";E=", problem);
  ASSERT_TRUE(parts.has_value()) << problem;
  ASSERT_EQ(parts->size(), 5u);
  const std::vector<std::vector<std::string>> expected = {
      {"A", "1", "A = 1"},
      {"B", "x;}y", "B={x;}}y}"},
      {"C", "it's", "C='it''s'"},
      {"D", "say \"hi\"", "D=\"say \"\"hi\"\"\""},
      {"E", "", "E="}};
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ((*parts)[i].key, expected[i][0]);
    EXPECT_EQ((*parts)[i].value, expected[i][1]);
    EXPECT_EQ((*parts)[i].raw, expected[i][2]);
  }
}

}  // namespace
}  // namespace solvard::db
