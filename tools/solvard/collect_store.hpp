#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "db/connection.hpp"
#include "solvard/records.hpp"

namespace solvard::tool {

// One pass's account of one terminal, as solvard_ledger holds it. The counts add up when
// nothing is missing: given + fromKept == stored + alreadyStored + kept.
struct LedgerRow {
  std::string passId;
  std::string line;  // the line's name
  int machine = 0;
  std::string kind;  // "attend" or "door"
  std::string startedAt, endedAt;
  int given = 0;              // records the terminal gave in this pass
  int stored = 0;             // rows this pass stored
  int alreadyStored = 0;      // records whose row was there already (read again, written again)
  int kept = 0;               // records kept in the kept-records store for a later pass
  int fromKept = 0;           // records kept by earlier passes, written (or found) in this one
  bool cleared = false;       // the clock was told to forget its records after they were stored
  std::string clearWindowMs;  // from the count to the clear's acknowledgement, when cleared
  std::string error;          // empty when the terminal was collected

  bool addsUp() const { return given + fromKept == stored + alreadyStored + kept; }
};

// The records of one line's terminals into the collector's tables, on a connection of the
// line's own (each line runs on its own thread). Every row is keyed by its occurrence and written
// insert-if-absent, so a record written twice is stored once and a genuine repeat is kept.
class RecordStore {
 public:
  // What the connection tells beyond its diagnostics goes to `log` (may be empty).
  RecordStore(std::string database, std::string line, std::string passId,
              std::function<void(const std::string&)> log = {});
  ~RecordStore();

  // Opens the connection when it is not open (again after it was lost). False with the
  // problem.
  bool open(std::string& problem);
  db::Connection& connection() { return *connection_; }
  const std::string& line() const { return line_; }
  const std::string& passId() const { return passId_; }

  // One access record and its terminal's ledger row, committed together before it returns:
  // only then may the terminal be prompted for the next, which makes it forget this one. The
  // row's counts take the record (given or fromKept, stored or alreadyStored) only when it is
  // committed. False with the problem when the database refused or the outcome is unknown.
  bool writeAccess(const AccessRecord& record, LedgerRow& ledger, std::string& problem);

  // The ledger row as it stands (in the open transaction when there is one).
  bool writeLedger(const LedgerRow& row, std::string& problem);

 private:
  friend class AttendanceWriter;
  // An insert of `rows` records at once.
  std::unique_ptr<db::PreparedStatement> prepareInsert(const char* table, std::size_t rows = 1);

  std::string database_;
  std::string line_;
  std::string passId_;
  std::unique_ptr<db::Connection> connection_;
  std::unique_ptr<db::PreparedStatement> accessInsert_;
  std::unique_ptr<db::PreparedStatement> accessEvent_;
  std::unique_ptr<db::PreparedStatement> ledgerWrite_;
};

// An attendance download's records in one transaction with the terminal's ledger row:
// committed once every record came, or none of them. They are held in memory while the terminal
// streams and written only at the commit, so that the transaction lasts as long as its inserts,
// not as long as the line takes to carry the records: an SQLite file has one writer, and a
// transaction open through a download at line speed would hold up every other line's records.
class AttendanceWriter final : public AttendanceSink {
 public:
  AttendanceWriter(RecordStore& store, LedgerRow& ledger) : store_(store), ledger_(ledger) {}

  bool ready(std::string& problem) override;
  bool begin(int32_t total) override;
  bool take(const AttendanceRecord& record) override;
  bool commit() override;
  void rollback() override;

  // When the terminal's count came: a punch after it is not in this download.
  std::chrono::steady_clock::time_point countCame() const { return countCame_; }
  // Why the database refused, empty when it did not.
  const std::string& problem() const { return problem_; }

 private:
  bool refused(const std::string& doing);
  // Refused while the transaction is open: it is rolled back, the problem kept.
  bool abandon(const std::string& doing);
  // The clears of this clock the ledger knows of: a record's occurrence counts from the last.
  bool clearsSoFar(std::string& clears);

  // 8 values a row: 400 to a statement, within every engine's limit on parameters.
  static constexpr std::size_t kRowsPerInsert = 50;

  RecordStore& store_;
  LedgerRow& ledger_;
  std::vector<AttendanceRecord> records_;
  std::chrono::steady_clock::time_point countCame_{};
  std::string problem_;
};

// "2026-12-09 17:40:03Z": when a row was collected, in UTC so that lines in several time zones
// agree.
std::string collectedAtNow();
// "2026-12-09 17:40:03.512Z": when a pass began or ended, in UTC to the millisecond, so that the
// ledger's passes sort in the order they ran.
std::string ledgerTimeNow();

}  // namespace solvard::tool
