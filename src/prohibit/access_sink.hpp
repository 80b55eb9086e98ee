#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace solvard::prohibit {

// What became of one record handed to the store.
struct StoreOutcome {
  enum class State {
    kWritten,     // the row is committed
    kNotWritten,  // it is certainly not stored
    kUnknown,     // the session dropped while the row was on its way: it may be stored or not
  };
  State state = State::kNotWritten;
  std::string problem;  // why not, for the library's log

  bool written() const { return state == State::kWritten; }
};

// Where a record handed to the store comes from.
struct RecordOrigin {
  std::string occurrence;    // its identity (prohibit/occurrence.hpp)
  bool keptEarlier = false;  // kept by an earlier download, written before this one prompts
};

// Where an access download puts each record before it prompts the terminal again: the host's
// table for the automation face, whatever a native host chooses otherwise. The prompt after a
// record tells the terminal to forget it, so `save` must have kept the record (or be sure it has
// not) when it returns.
class AccessRecordSink {
 public:
  virtual ~AccessRecordSink() = default;
  // Asked before anything is sent; false, with the reason, when records could not be kept.
  virtual bool prepare(std::string& problem) = 0;
  // One record, the ten bytes as the terminal sent them (fewer when it sent fewer).
  virtual StoreOutcome save(std::span<const uint8_t> record, const RecordOrigin& origin) = 0;
};

}  // namespace solvard::prohibit
