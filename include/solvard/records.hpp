#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "solvard/export.hpp"
#include "solvard/values.hpp"

namespace solvard {

// One punch an attendance terminal stored. The terminal's bytes are kept as they decode, so a
// date the terminal got wrong ("2001-13-05") still reaches the host and is not lost.
struct AttendanceRecord {
  MachineNumber machine;
  std::string card;  // six digits
  std::string date;  // "yyyy-MM-dd"
  std::string time;  // "hh:mm:00"
};

// One door event an access-control terminal stored.
struct AccessRecord {
  MachineNumber machine;
  std::string card;  // ten digits
  std::string date;  // "yyyy-MM-dd"
  std::string time;  // "hh:mm"
  // The record's own identity, sixteen hex digits made when it arrived (or "v1" for a record
  // kept by an earlier release): a card presented twice in one minute is two records with two
  // identities, and a record handed over again (kept after the host refused it, or after a
  // write whose outcome the host could not learn) comes with the identity it had. A store that
  // keys its rows by it stores every record once.
  std::string occurrence;
  bool keptEarlier = false;  // kept by an earlier download of this terminal, handed over first
};

// Where a download hands its records. An attendance download hands them over once all have
// come (a download that fails half-way hands over none, so running it again gives each record
// once). An access download hands each over before it prompts the terminal for the next; a
// callback that returns false refuses it, and the library keeps the record and hands it over
// first in the next download of that terminal.
using AttendanceCallback = std::function<void(const AttendanceRecord&)>;
using AccessCallback = std::function<bool(const AccessRecord&)>;

// An attendance download's records kept together: `begin`, one `take` per record, then
// `commit` once every record came, or `rollback` when the download failed. A database writer is
// one; a host with its own store writes one.
class SOLVARD_API AttendanceSink {
 public:
  virtual ~AttendanceSink() = default;
  // Asked before anything is sent: false, with the reason in `problem`, asks nothing of the
  // terminal.
  virtual bool ready(std::string& problem) = 0;
  virtual bool begin(int32_t total) = 0;
  virtual bool take(const AttendanceRecord& record) = 0;
  // True once every record taken is kept.
  virtual bool commit() = 0;
  virtual void rollback() = 0;
};

// How a download ended when it ended well.
struct AttendanceSummary {
  int32_t records = 0;  // records the terminal reported and the sink kept (0: it holds none)
};

struct AccessSummary {
  int32_t records = 0;         // records of the terminal kept in this download
  int32_t pendingWritten = 0;  // records kept from earlier downloads, written first
  // The download stopped at its bounds (AccessBounds): the terminal may hold more, and the next
  // download goes on from there.
  bool more = false;
};

// How far one access download goes. An access terminal does not say how many records it holds,
// so one that always has one more would otherwise be downloaded without end. At either bound
// the record in hand is handed over and the terminal is not prompted again; it keeps the rest.
// The defaults: what a terminal's 16-bit record counter can address, and half an hour. A host
// that asks several terminals of a line in turn gives each a shorter time, so one runaway
// terminal cannot starve the others.
struct AccessBounds {
  int32_t records = 65535;
  std::chrono::seconds time{30 * 60};
};

}  // namespace solvard
