#include "collect_store.hpp"

#include <algorithm>
#include <ctime>
#include <string_view>

#include "db/odbc_connection.hpp"

namespace solvard::tool {

std::string collectedAtNow() {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  ::gmtime_r(&now, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%SZ", &utc);
  return text;
}

RecordStore::RecordStore(std::string database, std::string line)
    : database_(std::move(database)),
      line_(std::move(line)),
      connection_(db::makeOdbcConnection()) {}

// The statement goes before the connection it was prepared on.
RecordStore::~RecordStore() { accessInsert_.reset(); }

bool RecordStore::open(std::string& problem) {
  if (connection_->State() == db::kStateOpen) return true;
  accessInsert_.reset();
  if (connection_->Open(database_) == db::Outcome::kOk) return true;
  problem = connection_->lastDiagnostic().text();
  return false;
}

std::unique_ptr<db::PreparedStatement> RecordStore::prepareInsert(const char* table,
                                                                  std::size_t rows) {
  std::string text = std::string("insert into ") + table +
                     " (line, machine, card, record_date, record_time, collected_at) values ";
  for (std::size_t i = 0; i < rows; ++i)
    text += std::string(i == 0 ? "" : ", ") + "(?, cast(? as integer), ?, ?, ?, ?)";
  return connection_->prepare(text + " on conflict do nothing");
}

bool RecordStore::insertAttendance(db::PreparedStatement& statement,
                                   std::span<const AttendanceRecord> records) {
  const std::string at = collectedAtNow();
  std::vector<std::string> numbers;
  numbers.reserve(records.size());
  std::vector<std::string_view> values;
  values.reserve(records.size() * 6);
  for (const AttendanceRecord& record : records) {
    numbers.push_back(std::to_string(record.machine.value()));
    values.insert(values.end(), {line_, numbers.back(), record.card, record.date, record.time, at});
  }
  return statement.execute(std::span<const std::string_view>(values)) == db::Outcome::kOk;
}

bool RecordStore::insert(db::PreparedStatement& statement, int machine, const std::string& card,
                         const std::string& date, const std::string& time) {
  const std::string number = std::to_string(machine);
  const std::string at = collectedAtNow();
  return statement.execute({line_, number, card, date, time, at}) == db::Outcome::kOk;
}

bool RecordStore::writeAccess(const AccessRecord& record, std::string& problem) {
  if (!open(problem)) return false;
  if (!accessInsert_) accessInsert_ = prepareInsert("access_records");
  // Outside a transaction each statement commits by itself before it returns.
  if (accessInsert_ &&
      insert(*accessInsert_, record.machine.value(), record.card, record.date, record.time)) {
    return true;
  }
  problem = connection_->lastDiagnostic().text();
  // A statement of a lost session cannot run again; the next record prepares it anew.
  if (connection_->State() != db::kStateOpen) accessInsert_.reset();
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

bool AttendanceWriter::commit() {
  if (store_.connection().BeginTrans() != db::Outcome::kOk) return refused("cannot begin");
  // Many rows to a statement: each execution is a round trip to a server, and the rows are
  // written between one terminal's download and the next terminal's request.
  const std::span<const AttendanceRecord> all(records_);
  std::unique_ptr<db::PreparedStatement> insert;
  for (std::size_t done = 0; done < all.size(); done += kRowsPerInsert) {
    const std::span<const AttendanceRecord> rows =
        all.subspan(done, std::min(kRowsPerInsert, all.size() - done));
    // Every full batch shares one statement; the last, shorter one gets its own.
    if (!insert || rows.size() < kRowsPerInsert)
      insert = store_.prepareInsert("attendance_records", rows.size());
    if (!insert) return abandon("cannot prepare the insert");
    if (!store_.insertAttendance(*insert, rows)) return abandon("cannot insert");
  }
  insert.reset();
  if (store_.connection().CommitTrans() == db::Outcome::kOk) {
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
