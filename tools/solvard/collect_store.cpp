#include "collect_store.hpp"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <map>
#include <string_view>
#include <tuple>

#include "collect_events.hpp"
#include "collect_schema.hpp"
#include "db/odbc_connection.hpp"
#include "utc_text.hpp"

namespace solvard::tool {
namespace {

constexpr const char* kRecordColumns =
    " (line, machine, card, record_date, record_time, collected_at, occurrence, pass_id) values ";
constexpr const char* kRecordValues = "(?, cast(? as integer), ?, ?, ?, ?, ?, ?)";

}  // namespace

std::string collectedAtNow() { return utcText(std::time(nullptr), "%Y-%m-%d %H:%M:%SZ"); }

std::string ledgerTimeNow() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  const auto millis =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  char fraction[8];
  std::snprintf(fraction, sizeof fraction, ".%03dZ", static_cast<int>(millis));
  return utcText(seconds, "%Y-%m-%d %H:%M:%S") + fraction;
}

RecordStore::RecordStore(std::string database, std::string line, std::string passId,
                         std::function<void(const std::string&)> log)
    : database_(std::move(database)),
      line_(std::move(line)),
      passId_(std::move(passId)),
      connection_(db::makeOdbcConnection(std::move(log))) {}

// The statements go before the connection they were prepared on.
RecordStore::~RecordStore() {
  accessInsert_.reset();
  accessEvent_.reset();
  ledgerWrite_.reset();
}

bool RecordStore::open(std::string& problem) {
  if (connection_->State() == db::kStateOpen) return true;
  accessInsert_.reset();
  accessEvent_.reset();
  ledgerWrite_.reset();
  if (connection_->Open(database_) == db::Outcome::kOk) return true;
  problem = connection_->lastDiagnostic().text();
  return false;
}

std::unique_ptr<db::PreparedStatement> RecordStore::prepareInsert(const char* table,
                                                                  std::size_t rows) {
  std::string text = std::string("insert into ") + table + kRecordColumns;
  for (std::size_t i = 0; i < rows; ++i) text += std::string(i == 0 ? "" : ", ") + kRecordValues;
  return connection_->prepare(text + " on conflict do nothing");
}

bool RecordStore::writeLedger(const LedgerRow& row, std::string& problem) {
  if (!ledgerWrite_) {
    ledgerWrite_ = connection_->prepare(
        "insert into solvard_ledger (pass_id, line, machine, kind, started_at, ended_at, given, "
        "stored, already_stored, kept, from_kept, cleared, clear_window_ms, error) values (?, ?, "
        "cast(? as integer), ?, ?, ?, cast(? as integer), cast(? as integer), cast(? as integer), "
        "cast(? as integer), cast(? as integer), cast(? as integer), ?, ?) on conflict (pass_id, "
        "line, machine) do update set ended_at = excluded.ended_at, given = excluded.given, "
        "stored = excluded.stored, already_stored = excluded.already_stored, kept = "
        "excluded.kept, from_kept = excluded.from_kept, cleared = excluded.cleared, "
        "clear_window_ms = excluded.clear_window_ms, error = excluded.error");
  }
  const std::string numbers[] = {std::to_string(row.machine), std::to_string(row.given),
                                 std::to_string(row.stored),  std::to_string(row.alreadyStored),
                                 std::to_string(row.kept),    std::to_string(row.fromKept),
                                 row.cleared ? "1" : "0"};
  if (ledgerWrite_ &&
      ledgerWrite_->execute({row.passId, row.line, numbers[0], row.kind, row.startedAt, row.endedAt,
                             numbers[1], numbers[2], numbers[3], numbers[4], numbers[5], numbers[6],
                             row.clearWindowMs, row.error}) == db::Outcome::kOk) {
    return true;
  }
  problem = "the ledger cannot be written: " + connection_->lastDiagnostic().text();
  // A statement of a lost session cannot run again; the next write prepares it anew.
  if (connection_->State() != db::kStateOpen) ledgerWrite_.reset();
  return false;
}

bool RecordStore::writeAccess(const AccessRecord& record, LedgerRow& ledger, std::string& problem) {
  if (!open(problem)) return false;
  if (!accessInsert_) accessInsert_ = prepareInsert("access_records");
  if (!accessInsert_ || connection_->BeginTrans() != db::Outcome::kOk) {
    problem = connection_->lastDiagnostic().text();
    if (connection_->State() != db::kStateOpen) {
      accessInsert_.reset();
      accessEvent_.reset();
    }
    return false;
  }
  const std::string number = std::to_string(record.machine.value());
  const std::string at = collectedAtNow();
  LedgerRow counted = ledger;
  bool ok = accessInsert_->execute({line_, number, record.card, record.date, record.time, at,
                                    record.occurrence, passId_}) == db::Outcome::kOk;
  if (ok) {
    const bool added = accessInsert_->changedRows() != 0;
    (record.keptEarlier ? counted.fromKept : counted.given) += 1;
    (added ? counted.stored : counted.alreadyStored) += 1;
    // The record's event commits with its row: a reader of the events misses no stored record.
    ok = !added ||
         (orderEvents(*connection_) &&
          writeRecordEvent(*connection_, accessEvent_,
                           {"record", line_, record.machine.value(), record.card, record.date,
                            record.time, record.occurrence, passId_, "door"}));
    if (!ok)
      problem = "the record's event cannot be written: " + connection_->lastDiagnostic().text();
    ok = ok && writeLedger(counted, problem);
  } else {
    problem = connection_->lastDiagnostic().text();
  }
  if (ok && connection_->CommitTrans() == db::Outcome::kOk) {
    ledger = counted;
    return true;
  }
  if (ok) problem = "cannot commit: " + connection_->lastDiagnostic().text();
  if (connection_->inTransaction()) connection_->RollbackTrans();
  if (connection_->State() != db::kStateOpen) {
    accessInsert_.reset();
    accessEvent_.reset();
  }
  return false;
}

bool AttendanceWriter::refused(const std::string& doing) {
  problem_ = doing + ": " + store_.connection().lastDiagnostic().text();
  return false;
}

bool AttendanceWriter::ready(std::string& problem) {
  if (store_.open(problem)) return true;
  problem_ = problem;
  return false;
}

bool AttendanceWriter::begin(int32_t total) {
  countCame_ = std::chrono::steady_clock::now();
  problem_.clear();
  records_.clear();
  // The count is the terminal's: at most what its two bytes say, never below zero.
  records_.reserve(static_cast<std::size_t>(std::clamp(total, 0, 65535)));
  return true;
}

bool AttendanceWriter::take(const AttendanceRecord& record) {
  records_.push_back(record);
  return true;
}

bool AttendanceWriter::clearsSoFar(std::string& clears) {
  db::Rows rows;
  if (store_.connection().queryRows(
          "select count(*) from solvard_ledger where line = " + sqlText(store_.line()) +
              " and machine = " + std::to_string(ledger_.machine) + " and cleared = 1",
          rows) != db::Outcome::kOk ||
      rows.empty() || rows.front().empty()) {
    return false;
  }
  clears = rows.front().front();
  return true;
}

bool AttendanceWriter::commit() {
  // A clock read again without a clear gives the same records in the same order: the n-th
  // record of one card, date and time since the last clear is the same occurrence each time.
  // Read before the transaction: an SQLite transaction that reads before it writes can meet
  // another line's writer in a deadlock the file's lock wait does not resolve. Only this line's
  // own passes clear this clock, so nothing changes the count in between.
  std::string clears;
  if (!clearsSoFar(clears)) return refused("cannot read the ledger");
  if (store_.connection().BeginTrans() != db::Outcome::kOk) return refused("cannot begin");
  std::map<std::tuple<std::string, std::string, std::string>, int> seen;
  std::vector<std::string> occurrences;
  occurrences.reserve(records_.size());
  for (const AttendanceRecord& record : records_) {
    const int n = ++seen[{record.card, record.date, record.time}];
    occurrences.push_back("c" + clears + "." + std::to_string(n));
  }
  // Many rows to a statement: each execution is a round trip to a server, and the rows are
  // written between one terminal's download and the next terminal's request.
  const std::string at = collectedAtNow();
  const std::string line = store_.line();
  std::unique_ptr<db::PreparedStatement> insert;
  int stored = 0;
  for (std::size_t done = 0; done < records_.size(); done += kRowsPerInsert) {
    const std::size_t count = std::min(kRowsPerInsert, records_.size() - done);
    // Every full batch shares one statement; the last, shorter one gets its own.
    if (!insert || count < kRowsPerInsert)
      insert = store_.prepareInsert("attendance_records", count);
    if (!insert) return abandon("cannot prepare the insert");
    std::vector<std::string> numbers;
    numbers.reserve(count);
    std::vector<std::string_view> values;
    values.reserve(count * 8);
    for (std::size_t i = done; i < done + count; ++i) {
      const AttendanceRecord& record = records_[i];
      numbers.push_back(std::to_string(record.machine.value()));
      values.insert(values.end(), {line, numbers.back(), record.card, record.date, record.time, at,
                                   occurrences[i], store_.passId()});
    }
    if (insert->execute(std::span<const std::string_view>(values)) != db::Outcome::kOk)
      return abandon("cannot insert");
    const int64_t added = insert->changedRows();
    stored += added < 0 ? static_cast<int>(count) : static_cast<int>(added);
  }
  insert.reset();
  if (stored > 0 &&
      !(orderEvents(store_.connection()) &&
        writeAttendanceEvents(store_.connection(), line, ledger_.machine, store_.passId())))
    return abandon("cannot write the records' events");
  LedgerRow counted = ledger_;
  counted.given = static_cast<int>(records_.size());
  counted.stored = stored;
  counted.alreadyStored = counted.given - stored;
  counted.endedAt = ledgerTimeNow();
  std::string problem;
  if (!store_.writeLedger(counted, problem)) {
    problem_ = problem;
    if (store_.connection().inTransaction()) store_.connection().RollbackTrans();
    return false;
  }
  if (store_.connection().CommitTrans() == db::Outcome::kOk) {
    ledger_ = counted;
    records_.clear();
    return true;
  }
  return refused("cannot commit");
}

bool AttendanceWriter::abandon(const std::string& doing) {
  refused(doing);
  if (store_.connection().inTransaction()) store_.connection().RollbackTrans();
  return false;
}

void AttendanceWriter::rollback() {
  records_.clear();
  if (store_.connection().inTransaction()) store_.connection().RollbackTrans();
}

}  // namespace solvard::tool
