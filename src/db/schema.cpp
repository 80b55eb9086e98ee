#include "db/schema.hpp"

#include <initializer_list>
#include <string>

#include "db/table_name.hpp"

namespace solvard::db {
namespace {

// Wide enough for every text the downloads can write, malformed terminal bytes included (each
// two-digit field can read up to 165), in the one type every engine knows.
constexpr std::string_view kText = " varchar(32)";

// A probe that succeeds on every engine when the table exists and reads no row.
Diagnostic ensureTable(Connection& connection, std::string_view table, std::string_view columns) {
  if (connection.Execute("select * from " + std::string(table) + " where 1 = 0") == Outcome::kOk) {
    return {};
  }
  if (connection.State() != kStateOpen) return connection.lastDiagnostic();
  if (connection.Execute("create table " + std::string(table) + " (" + std::string(columns) +
                         ")") == Outcome::kOk) {
    return {};
  }
  return connection.lastDiagnostic();
}

std::string columns(std::initializer_list<std::string_view> names) {
  std::string text;
  for (std::string_view name : names) {
    if (!text.empty()) text += ", ";
    text += name;
    text += kText;
  }
  return text;
}

}  // namespace

Diagnostic ensureAttendanceTables(Connection& connection) {
  const std::string attendance = columns({"MachineNo", "CardNo", "CardDate", "CardTime"});
  Diagnostic failure = ensureTable(connection, "WorkCardSource", attendance);
  if (!failure.empty()) return failure;
  return ensureTable(connection, "WorkCardReadTime", attendance);
}

Diagnostic ensureAccessRecordTable(Connection& connection, std::string_view table) {
  if (!isTableName(table)) {
    return {std::string(states::kGeneral), 0,
            "\"" + std::string(table) + "\" is not a plain table name"};
  }
  return ensureTable(connection, table, columns({"CardNo", "RecordDate", "RecordTime"}));
}

}  // namespace solvard::db
