#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "db/connection.hpp"

namespace solvard::tool {

// The events of the collector's database, solvard_events: each stored record ("record", written
// in the transaction that stores it, once however often it is read again), each terminal's
// account at the end of a pass ("pass"), a terminal or line that failed or came back
// ("terminal_failed", "line_down", "line_up") and each action asked through the service
// ("action"). The database numbers them; they are committed in the order of their numbers, so
// a reader that has seen every event up to N misses none by asking for those after N.
struct EventRow {
  std::string kind;
  std::string line;
  int machine = 0;
  // A record's fields; empty for the other kinds.
  std::string card, date, time, occurrence, passId;
  std::string detail;  // a record: "attend" or "door"; the others: a JSON object
};

// Makes solvard_events and its index where missing; the problem, empty when ready.
std::string makeEventTable(db::Connection& connection);

// In the open transaction, before its first event: a PostgreSQL session takes the events'
// lock, held until the commit, so that the number an event gets and the order in which events
// are committed agree. Other engines take one writer at a time anyway. False on failure.
bool orderEvents(db::Connection& connection);

// One record's event, in the open transaction (see orderEvents); a record already told of is
// skipped. The statement is prepared on first use into `insert`.
bool writeRecordEvent(db::Connection& connection, std::unique_ptr<db::PreparedStatement>& insert,
                      const EventRow& row);

// The events of a clock's records that the pass `passId` stored for `machine` of `line`, in the
// open transaction (see orderEvents).
bool writeAttendanceEvents(db::Connection& connection, const std::string& line, int machine,
                           const std::string& passId);

// One event of another kind, in a transaction of its own.
bool writeEvent(db::Connection& connection, const EventRow& row);

// The events after `after`, oldest first, at most `limit`: {"id","at","kind","line","machine",
// and a record's "record":{"kind","card","date","time","occurrence","pass_id"} or another's
// "detail"}. Nothing when the database cannot be read.
std::optional<nlohmann::ordered_json> readEvents(db::Connection& connection, int64_t after,
                                                 int limit);

}  // namespace solvard::tool
