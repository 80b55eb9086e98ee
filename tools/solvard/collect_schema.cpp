#include "collect_schema.hpp"

#include <string_view>

#include "collect_events.hpp"

namespace solvard::tool {
namespace {

// Columns every engine knows; a record's fields stay text as the terminal sent them, so a date
// the terminal got wrong is still kept. The columns of layout 1 come first, in their order.
constexpr std::string_view kRecordColumns =
    " (line varchar(255) not null, machine integer not null, card varchar(32) not null,"
    " record_date varchar(32) not null, record_time varchar(32) not null,"
    " collected_at varchar(32) not null, occurrence varchar(64) not null,"
    " pass_id varchar(40) not null,"
    " unique (line, machine, card, record_date, record_time, occurrence))";

constexpr std::string_view kLedgerColumns =
    " (pass_id varchar(40) not null, line varchar(255) not null, machine integer not null,"
    " kind varchar(8) not null, started_at varchar(32) not null, ended_at varchar(32) not null,"
    " given integer not null, stored integer not null, already_stored integer not null,"
    " kept integer not null, from_kept integer not null, cleared integer not null,"
    " clear_window_ms varchar(32) not null, error text not null,"
    " primary key (pass_id, line, machine))";

// What layout 1's rows become: a clock's record was one row per card, date and time, the first
// of its kind since no clear the ledger knows of; a door record keeps the identity a kept record
// of that release is given, so writing that kept record meets its row.
struct Migrated {
  const char* table;
  const char* occurrence;
};
constexpr Migrated kMigrated[] = {{"attendance_records", "'c0.1'"}, {"access_records", "'v1'"}};

std::string problemOf(db::Connection& connection, std::string_view doing) {
  return std::string(doing) + ": " + connection.lastDiagnostic().text();
}

bool tableExists(db::Connection& connection, const std::string& table) {
  return connection.Execute("select * from " + table + " where 1 = 0") == db::Outcome::kOk;
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
  if (tableExists(connection, table)) return {};
  return problem;
}

std::string heldVersion(db::Connection& connection, std::string& problem) {
  db::Rows rows;
  if (connection.queryRows("select max(version) from solvard_schema", rows) != db::Outcome::kOk) {
    problem = problemOf(connection, "solvard_schema cannot be read");
    return {};
  }
  return rows.empty() || rows.front().empty() ? "" : rows.front().front();
}

// Layout 1 to 2 in one transaction. The version row is written first: its key makes a second
// collector migrating at the same moment wait, then fail and roll back, and find layout 2.
std::string migrateFromLayout1(db::Connection& connection) {
  bool present[std::size(kMigrated)];
  for (std::size_t i = 0; i < std::size(kMigrated); ++i)
    present[i] = tableExists(connection, kMigrated[i].table);
  if (connection.BeginTrans() != db::Outcome::kOk)
    return problemOf(connection, "the migration cannot begin");
  if (connection.Execute("insert into solvard_schema (version) values (2)") != db::Outcome::kOk) {
    connection.RollbackTrans();
    return {};  // another collector migrated it; the caller reads the version again
  }
  std::string problem;
  const auto run = [&](const std::string& statement) {
    if (!problem.empty()) return;
    if (connection.Execute(statement) != db::Outcome::kOk)
      problem = problemOf(connection, "the migration to layout 2 failed at \"" + statement + "\"");
  };
  for (std::size_t i = 0; i < std::size(kMigrated); ++i) {
    const std::string table = kMigrated[i].table;
    const std::string old = "solvard_layout1_" + table;
    if (present[i]) run("alter table " + table + " rename to " + old);
    run("create table " + table + std::string(kRecordColumns));
    if (!present[i]) continue;
    run("insert into " + table +
        " (line, machine, card, record_date, record_time, collected_at, occurrence, pass_id)"
        " select line, machine, card, record_date, record_time, collected_at, " +
        kMigrated[i].occurrence + ", '' from " + old);
    run("drop table " + old);
  }
  run("create table if not exists solvard_ledger" + std::string(kLedgerColumns));
  if (problem.empty() && connection.CommitTrans() != db::Outcome::kOk)
    problem = problemOf(connection, "the migration to layout 2 cannot be committed");
  if (!problem.empty() && connection.inTransaction()) connection.RollbackTrans();
  return problem;
}

}  // namespace

std::string sqlText(const std::string& text) {
  std::string quoted = "'";
  for (const char c : text) {
    quoted += c;
    if (c == '\'') quoted += '\'';
  }
  return quoted + "'";
}

std::string prepareCollectTables(db::Connection& connection) {
  // The version is the key, so collectors racing to write it leave one row.
  if (std::string problem =
          makeTable(connection, "solvard_schema", " (version integer not null primary key)");
      !problem.empty()) {
    return problem;
  }
  // Written into an empty table only: a database of an earlier layout is migrated below.
  if (connection.Execute("insert into solvard_schema (version) select " +
                         std::to_string(kCollectSchemaVersion) +
                         " where not exists (select 1 from solvard_schema) on conflict do "
                         "nothing") != db::Outcome::kOk) {
    return problemOf(connection, "solvard_schema cannot be written");
  }
  std::string problem;
  std::string held = heldVersion(connection, problem);
  if (!problem.empty()) return problem;
  if (held == "1") {
    if (problem = migrateFromLayout1(connection); !problem.empty()) return problem;
    held = heldVersion(connection, problem);
    if (!problem.empty()) return problem;
  }
  if (held != std::to_string(kCollectSchemaVersion)) {
    return "the database holds the collector's tables of layout " + held + ", this solvard knows " +
           std::to_string(kCollectSchemaVersion);
  }
  for (const std::string table : {"attendance_records", "access_records"}) {
    if (problem = makeTable(connection, table, kRecordColumns); !problem.empty()) return problem;
  }
  if (problem = makeTable(connection, "solvard_ledger", kLedgerColumns); !problem.empty())
    return problem;
  return makeEventTable(connection);
}

}  // namespace solvard::tool
