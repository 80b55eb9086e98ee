#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "serial/port_control.hpp"

namespace solvard::prohibit {

// A record an access-control terminal sent that could not be written. The terminal takes the
// next prompt it gets, whichever download sends it, as the acknowledgement of the record it sent
// last, and forgets it: from then on this copy is the only one. It is written before the next
// download of the same terminal (the same line, the same machine number) sends its first
// prompt.
struct PendingRecord {
  std::string line;  // the device the terminal's line is reached through
  int16_t machineNo = 0;
  serial::Bytes record;    // the ten bytes as the terminal sent them
  std::string occurrence;  // its identity, made when it arrived (prohibit/occurrence.hpp)
  // The transaction it was written in when that commit's outcome was unknown: the database is
  // asked about it before the record is written again. Empty for a record certainly not stored.
  std::string marker;

  friend bool operator==(const PendingRecord&, const PendingRecord&) = default;
};

// Where pending records are kept. The library keeps them in memory for its lifetime; a host
// that runs as separate processes (the `solvard` command) installs a keeper that holds them in
// a file, so that the next process writes them first.
class PendingRecords {
 public:
  virtual ~PendingRecords() = default;
  // Whether a record could be kept now; false, with the reason, when the store cannot be read
  // or written. Asked before a terminal is prompted, since a record the host then refuses has
  // nowhere else to go.
  virtual bool ready(std::string& problem) {
    (void)problem;
    return true;
  }
  // The records kept for one terminal, oldest first; `line` matches the line however it is
  // named (serial/device_key.hpp). False, with the reason, when the store cannot be read: then
  // the terminal must not be prompted, since a kept record of it may be among those unread.
  virtual bool recordsOf(const std::string& line, int16_t machineNo,
                         std::vector<PendingRecord>& found, std::string& problem) = 0;
  // The records kept for one terminal, none when the store cannot be read.
  std::vector<PendingRecord> recordsOf(const std::string& line, int16_t machineNo) {
    std::vector<PendingRecord> found;
    std::string problem;
    recordsOf(line, machineNo, found, problem);
    return found;
  }
  // Keeps one more. False when it could not be kept (the reason in `problem`).
  virtual bool keep(const PendingRecord& record, std::string& problem) = 0;
  // Forgets one, now written. False when it could not be forgotten (the reason in `problem`).
  virtual bool forget(const PendingRecord& record, std::string& problem) = 0;
};

// Kept in memory, for as long as the store lives.
class PendingRecordsInMemory final : public PendingRecords {
 public:
  using PendingRecords::recordsOf;
  bool recordsOf(const std::string& line, int16_t machineNo, std::vector<PendingRecord>& found,
                 std::string& problem) override;
  bool keep(const PendingRecord& record, std::string& problem) override;
  bool forget(const PendingRecord& record, std::string& problem) override;

 private:
  std::mutex mutex_;
  std::vector<PendingRecord> records_;
};

}  // namespace solvard::prohibit
