#pragma once

#include <string>

#include "db/odbc_connection.hpp"

// What a database holds after a command, read through the same ODBC layer the program writes
// with, as text a test compares whole.
namespace solvard::tool::testing {

// `query`'s rows from `database` into `rows`; false, with "unreadable: " and the driver's
// diagnostic in `failure`, when it cannot be read.
inline bool readRows(const std::string& database, const std::string& query, db::Rows& rows,
                     std::string& failure) {
  auto reader = db::makeOdbcConnection();
  if (reader->Open(database) != db::Outcome::kOk ||
      reader->queryRows(query, rows) != db::Outcome::kOk) {
    failure = "unreadable: " + reader->lastDiagnostic().text();
    return false;
  }
  return true;
}

// `query`'s rows as one text, each cell followed by a space and each row by a newline; the
// failure when it cannot be read.
inline std::string queryText(const std::string& database, const std::string& query) {
  db::Rows rows;
  std::string failure;
  if (!readRows(database, query, rows, failure)) return failure;
  std::string text;
  for (const db::Row& row : rows) {
    for (const std::string& cell : row) text += cell + " ";
    text += "\n";
  }
  return text;
}

}  // namespace solvard::tool::testing
