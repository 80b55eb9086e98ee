#include "native/sqlite_tables.hpp"

#include "db/connection_text.hpp"
#include "db/odbc_connection.hpp"
#include "db/schema.hpp"

namespace solvard::native {

namespace {

// Opens the file, makes what `ensure` makes, closes it: empty when all is there, else the
// sentence for the host.
template <typename Ensure>
std::optional<Error> inFile(const std::string& path, const std::string& what, Ensure ensure) {
  auto connection = db::makeOdbcConnection();
  if (connection->Open(path) != db::Outcome::kOk) {
    return Error(Errc::database_unavailable,
                 "the database cannot be opened: " + connection->lastDiagnostic().text() +
                     "; nothing was asked of the terminal");
  }
  const db::Diagnostic problem = ensure(*connection);
  (void)connection->Close();
  if (problem.empty()) return std::nullopt;
  return Error(Errc::database_unavailable, what + " could not be made in the SQLite file " + path +
                                               ": " + problem.text() +
                                               "; nothing was asked of the terminal");
}

}  // namespace

std::optional<Error> prepareAttendanceFile(const std::string& connection) {
  if (!db::namesSqliteFile(connection)) return std::nullopt;
  return inFile(connection, "the tables WorkCardSource and WorkCardReadTime",
                [](db::Connection& c) { return db::ensureAttendanceTables(c); });
}

std::optional<Error> prepareAccessRecordFile(const std::string& connection,
                                             const std::string& table) {
  if (!db::namesSqliteFile(connection)) return std::nullopt;
  return inFile(connection, "the table " + table,
                [&](db::Connection& c) { return db::ensureAccessRecordTable(c, table); });
}

}  // namespace solvard::native
