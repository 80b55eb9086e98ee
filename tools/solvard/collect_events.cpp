#include "collect_events.hpp"

#include <charconv>
#include <ctime>

#include "collect_schema.hpp"
#include "utc_text.hpp"

namespace solvard::tool {
namespace {

using json = nlohmann::ordered_json;

constexpr const char* kColumns =
    "(at, kind, line, machine, card, record_date, record_time, occurrence, pass_id, detail)";

std::string nowText() { return utcText(std::time(nullptr), "%Y-%m-%d %H:%M:%SZ"); }

bool postgres(const db::Connection& connection) { return connection.engineName() == "PostgreSQL"; }

int64_t integerOf(const std::string& text) {
  int64_t value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

}  // namespace

std::string makeEventTable(db::Connection& connection) {
  const std::string id =
      postgres(connection) ? "id bigserial primary key" : "id integer primary key autoincrement";
  const std::string table =
      "create table if not exists solvard_events (" + id +
      ", at varchar(32) not null, kind varchar(16) not null, line varchar(255) not null,"
      " machine integer not null, card varchar(32) not null, record_date varchar(32) not null,"
      " record_time varchar(32) not null, occurrence varchar(64) not null,"
      " pass_id varchar(40) not null, detail text not null)";
  // A record is told of once: its event is keyed as its row is.
  const std::string index =
      "create unique index if not exists solvard_events_record on solvard_events"
      " (line, machine, card, record_date, record_time, occurrence) where kind = 'record'";
  for (const std::string& statement : {table, index}) {
    // Two collectors starting at once may both find the table missing, and PostgreSQL fails
    // the create that loses the race even "if not exists"; run again, it finds the other's.
    if (connection.Execute(statement) != db::Outcome::kOk &&
        connection.Execute(statement) != db::Outcome::kOk)
      return "solvard_events cannot be made: " + connection.lastDiagnostic().text();
  }
  return {};
}

bool orderEvents(db::Connection& connection) {
  if (!postgres(connection)) return true;
  db::Rows rows;
  // The key is the events table's own: "SLVEVNTS" as eight bytes.
  return connection.queryRows("select pg_advisory_xact_lock(6000592236316284755)", rows) ==
         db::Outcome::kOk;
}

bool writeRecordEvent(db::Connection& connection, std::unique_ptr<db::PreparedStatement>& insert,
                      const EventRow& row) {
  if (!insert) {
    insert = connection.prepare(std::string("insert into solvard_events ") + kColumns +
                                " values (?, 'record', ?, cast(? as integer), ?, ?, ?, ?, ?, ?)"
                                " on conflict do nothing");
  }
  if (!insert) return false;
  const std::string machine = std::to_string(row.machine);
  return insert->execute({nowText(), row.line, machine, row.card, row.date, row.time,
                          row.occurrence, row.passId, row.detail}) == db::Outcome::kOk;
}

bool writeAttendanceEvents(db::Connection& connection, const std::string& line, int machine,
                           const std::string& passId) {
  return connection.Execute(
             std::string("insert into solvard_events ") + kColumns + " select " +
             sqlText(nowText()) +
             ", 'record', line, machine, card, record_date, record_time, occurrence, pass_id,"
             " 'attend' from attendance_records where line = " +
             sqlText(line) + " and machine = " + std::to_string(machine) +
             " and pass_id = " + sqlText(passId) +
             " order by record_date, record_time, card, occurrence on conflict do nothing") ==
         db::Outcome::kOk;
}

bool writeEvent(db::Connection& connection, const EventRow& row) {
  if (connection.BeginTrans() != db::Outcome::kOk) return false;
  auto insert = connection.prepare(std::string("insert into solvard_events ") + kColumns +
                                   " values (?, ?, ?, cast(? as integer), '', '', '', '', ?, ?)");
  const std::string machine = std::to_string(row.machine);
  if (orderEvents(connection) && insert &&
      insert->execute({nowText(), row.kind, row.line, machine, row.passId, row.detail}) ==
          db::Outcome::kOk) {
    insert.reset();
    if (connection.CommitTrans() == db::Outcome::kOk) return true;
  }
  insert.reset();
  if (connection.inTransaction()) connection.RollbackTrans();
  return false;
}

std::optional<json> readEvents(db::Connection& connection, int64_t after, int limit) {
  db::Rows rows;
  if (connection.queryRows("select id, at, kind, line, machine, card, record_date, record_time,"
                           " occurrence, pass_id, detail from solvard_events where id > " +
                               std::to_string(after) + " order by id limit " +
                               std::to_string(limit),
                           rows) != db::Outcome::kOk) {
    return std::nullopt;
  }
  json events = json::array();
  for (const db::Row& row : rows) {
    if (row.size() < 11) continue;
    json event = {{"id", integerOf(row[0])},
                  {"at", row[1]},
                  {"kind", row[2]},
                  {"line", row[3]},
                  {"machine", integerOf(row[4])}};
    if (row[2] == "record") {
      event["record"] = {{"kind", row[10]}, {"card", row[5]},       {"date", row[6]},
                         {"time", row[7]},  {"occurrence", row[8]}, {"pass_id", row[9]}};
    } else {
      event["detail"] = json::parse(row[10], nullptr, false);
      if (event["detail"].is_discarded()) event["detail"] = row[10];
    }
    events.push_back(std::move(event));
  }
  return events;
}

}  // namespace solvard::tool
