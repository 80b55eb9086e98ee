#pragma once

#include <random>
#include <string>

namespace solvard::prohibit {

// The identity of one record an access-control terminal sent: the terminal forgets each record
// it was prompted past, so every record that arrives is a new event, even one whose card, date
// and time repeat an earlier one (a card presented twice in a minute). The identity is made
// when the record arrives and travels with it (into the kept-records store when it cannot be
// written), so that writing the same record again adds nothing to a store that keys rows by it.
// Sixteen lowercase hex digits from a random source: unique among every record ever collected
// with overwhelming likelihood, and the same text on every platform.
//
// One source serves one download, on its thread: seeded once from the system's entropy, it
// draws each record's identity without asking the system again. Asking it for every record
// cost tens of microseconds on a virtual machine (each draw traps to the hypervisor), between
// the record's arrival and the prompt that releases it.
class OccurrenceSource {
 public:
  OccurrenceSource();
  std::string next();

 private:
  std::mt19937_64 generator_;
};

// The identity given to records kept by a release that did not record one: rows it stored
// carry the same, so a kept record it wrote meets its own row.
inline constexpr const char* kEarlierOccurrence = "v1";

}  // namespace solvard::prohibit
