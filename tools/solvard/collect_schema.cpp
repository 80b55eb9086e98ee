#include "collect_schema.hpp"

#include <string_view>

namespace solvard::tool {
namespace {

// Columns every engine knows; a record's fields stay text as the terminal sent them, so a date
// the terminal got wrong is still kept.
constexpr std::string_view kRecordColumns =
    " (line varchar(255) not null, machine integer not null, card varchar(32) not null,"
    " record_date varchar(32) not null, record_time varchar(32) not null,"
    " collected_at varchar(32) not null,"
    " unique (line, machine, card, record_date, record_time))";

std::string problemOf(db::Connection& connection, std::string_view doing) {
  return std::string(doing) + ": " + connection.lastDiagnostic().text();
}

// Two collectors starting at once into one database may both find a table missing; the one
// whose create loses the race finds it made by the other. Gives the create's problem, empty when
// the table is there.
std::string makeTable(db::Connection& connection, const std::string& table,
                      std::string_view columns) {
  if (connection.Execute("create table if not exists " + table + std::string(columns)) ==
      db::Outcome::kOk) {
    return {};
  }
  const std::string problem = problemOf(connection, table + " cannot be made");
  if (connection.Execute("select * from " + table + " where 1 = 0") == db::Outcome::kOk) return {};
  return problem;
}

}  // namespace

std::string prepareCollectTables(db::Connection& connection) {
  // The version is the key, so collectors racing to write it leave one row.
  if (std::string problem =
          makeTable(connection, "solvard_schema", " (version integer not null primary key)");
      !problem.empty()) {
    return problem;
  }
  // Written into an empty table only: a database a later release migrated keeps its layout.
  if (connection.Execute("insert into solvard_schema (version) select " +
                         std::to_string(kCollectSchemaVersion) +
                         " where not exists (select 1 from solvard_schema) on conflict do "
                         "nothing") != db::Outcome::kOk) {
    return problemOf(connection, "solvard_schema cannot be written");
  }
  db::Rows rows;
  if (connection.queryRows("select max(version) from solvard_schema", rows) != db::Outcome::kOk)
    return problemOf(connection, "solvard_schema cannot be read");
  const std::string held = rows.empty() || rows.front().empty() ? "" : rows.front().front();
  if (held != std::to_string(kCollectSchemaVersion)) {
    return "the database holds the collector's tables of layout " + held + ", this solvard knows " +
           std::to_string(kCollectSchemaVersion);
  }
  for (const std::string table : {"attendance_records", "access_records"}) {
    if (std::string problem = makeTable(connection, table, kRecordColumns); !problem.empty())
      return problem;
  }
  return {};
}

}  // namespace solvard::tool
