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

}  // namespace

std::string prepareCollectTables(db::Connection& connection) {
  if (connection.Execute("create table if not exists solvard_schema (version integer not null)") !=
      db::Outcome::kOk) {
    return problemOf(connection, "solvard_schema cannot be made");
  }
  db::Rows rows;
  if (connection.queryRows("select max(version) from solvard_schema", rows) != db::Outcome::kOk)
    return problemOf(connection, "solvard_schema cannot be read");
  const std::string held = rows.empty() || rows.front().empty() ? "" : rows.front().front();
  if (held.empty()) {
    if (connection.Execute("insert into solvard_schema (version) values (" +
                           std::to_string(kCollectSchemaVersion) + ")") != db::Outcome::kOk) {
      return problemOf(connection, "solvard_schema cannot be written");
    }
  } else if (held != std::to_string(kCollectSchemaVersion)) {
    return "the database holds the collector's tables of layout " + held + ", this solvard knows " +
           std::to_string(kCollectSchemaVersion);
  }
  for (const std::string_view table : {"attendance_records", "access_records"}) {
    if (connection.Execute("create table if not exists " + std::string(table) +
                           std::string(kRecordColumns)) != db::Outcome::kOk) {
      return problemOf(connection, std::string(table) + " cannot be made");
    }
  }
  return {};
}

}  // namespace solvard::tool
