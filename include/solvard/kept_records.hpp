#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "solvard/export.hpp"

namespace solvard {

// A door record that could not be handed over when it came (the host or the database refused
// it, or the commit's outcome was lost). A door takes its next prompt, whichever download sends
// it, as the acknowledgement of the record it sent last and forgets that record: from then on
// the kept copy is the only one. The next download of the same door (the same line, the same
// machine number) hands it over before its first prompt.
struct KeptRecord {
  std::string line;  // the device the door's line is reached through
  int16_t machineNo = 0;
  std::vector<uint8_t> record;  // the ten bytes as the door sent them
  std::string occurrence;       // its identity, made when it arrived (AccessRecord::occurrence)
  // The transaction it was written in when that commit's outcome was lost: the database is
  // asked about it before the record is written again. Empty for a record certainly not stored.
  std::string marker;
  friend bool operator==(const KeptRecord&, const KeptRecord&) = default;
};

// The occurrence of a record kept by a release that did not record one: the rows that release
// stored carry the same, so such a kept record meets its own row.
inline constexpr const char* kKeptByEarlierRelease = "v1";

// Where a line's door downloads keep such records. The library keeps them in memory for the life
// of the process; a host that runs as separate processes, or must survive a restart, gives its
// lines a store of its own (Line::setKeptRecords) that holds them somewhere durable. Each call
// may come from the thread of any line the store is given to.
class SOLVARD_API KeptRecords {
 public:
  virtual ~KeptRecords() = default;
  // Whether a record could be kept now; false, with the reason, when the store cannot be read
  // or written. Asked before a door is prompted, since a record then refused has nowhere else
  // to go.
  virtual bool ready(std::string& problem) {
    (void)problem;
    return true;
  }
  // The records kept for one door, oldest first; `line` matches however the device is named
  // (sameDevice, solvard/line.hpp).
  // False, with the reason, when the store cannot be read: then the door is not prompted, since
  // a kept record of it may be among those unread.
  virtual bool recordsOf(const std::string& line, int16_t machineNo, std::vector<KeptRecord>& found,
                         std::string& problem) = 0;
  // The records kept for one door, none when the store cannot be read.
  std::vector<KeptRecord> recordsOf(const std::string& line, int16_t machineNo) {
    std::vector<KeptRecord> found;
    std::string problem;
    recordsOf(line, machineNo, found, problem);
    return found;
  }
  // Keeps one more. False when it could not be kept (the reason in `problem`).
  virtual bool keep(const KeptRecord& record, std::string& problem) = 0;
  // Forgets one, now handed over. False when it could not be forgotten (the reason in
  // `problem`).
  virtual bool forget(const KeptRecord& record, std::string& problem) = 0;
};

// A new store that keeps records in memory for as long as it lives.
SOLVARD_API std::shared_ptr<KeptRecords> keptInMemory();

}  // namespace solvard
