#pragma once

#include <chrono>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "db/connection.hpp"
#include "solvard/records.hpp"

namespace solvard::tool {

// The records of one line's terminals into the collector's tables, on a connection of the
// line's own (each line runs on its own thread). Every row is written insert-if-absent, so a
// record collected twice is stored once.
class RecordStore {
 public:
  RecordStore(std::string database, std::string line);
  ~RecordStore();

  // Opens the connection when it is not open (again after it was lost). False with the
  // problem.
  bool open(std::string& problem);
  db::Connection& connection() { return *connection_; }
  const std::string& line() const { return line_; }

  // One access record, committed before it returns: only then may the terminal be prompted for
  // the next, which makes it forget this one. False with the problem when the database refused.
  bool writeAccess(const AccessRecord& record, std::string& problem);

 private:
  friend class AttendanceWriter;
  // An insert of `rows` records at once.
  std::unique_ptr<db::PreparedStatement> prepareInsert(const char* table, std::size_t rows = 1);
  bool insertAttendance(db::PreparedStatement& statement,
                        std::span<const AttendanceRecord> records);
  bool insert(db::PreparedStatement& statement, int machine, const std::string& card,
              const std::string& date, const std::string& time);

  std::string database_;
  std::string line_;
  std::unique_ptr<db::Connection> connection_;
  std::unique_ptr<db::PreparedStatement> accessInsert_;
};

// An attendance download's records in one transaction: committed once every record came, or
// none of them. They are held in memory while the terminal streams and written only at the
// commit, so that the transaction lasts as long as its inserts, not as long as the line takes
// to carry the records: an SQLite file has one writer, and a transaction open through a
// download at line speed would hold up every other line's records behind it.
class AttendanceWriter final : public AttendanceSink {
 public:
  explicit AttendanceWriter(RecordStore& store) : store_(store) {}

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

  // 6 values a row: 300 to a statement, within every engine's limit on parameters.
  static constexpr std::size_t kRowsPerInsert = 50;

  RecordStore& store_;
  std::vector<AttendanceRecord> records_;
  std::chrono::steady_clock::time_point countCame_{};
  std::string problem_;
};

// "2026-12-09 17:40:03Z": when a row was collected, in UTC so that lines in several time zones
// agree.
std::string collectedAtNow();

}  // namespace solvard::tool
