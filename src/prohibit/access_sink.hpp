#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <utility>

namespace solvard::prohibit {

// What became of one record handed to the store.
struct StoreOutcome {
  enum class State {
    kWritten,     // the row is committed
    kNotWritten,  // it is certainly not stored
    kUnknown,     // the session dropped while the row was on its way: it may be stored or not
  };
  StoreOutcome(State state_ = State::kNotWritten, std::string problem_ = {},
               std::string marker_ = {})
      : state(state_), problem(std::move(problem_)), marker(std::move(marker_)) {}

  State state;
  std::string problem;  // why not, for the library's log
  // For kUnknown on an engine that can be asked later: the transaction the row was written in,
  // so that the record can be kept and the database asked before it is written again.
  std::string marker;

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

  // What became of the transaction `marker` names (see StoreOutcome::marker): asked before a
  // record kept after a commit whose outcome was unknown is written again.
  enum class Settled { kStored, kNotStored, kUnknown };
  virtual Settled settle(const std::string& marker, std::string& problem) {
    (void)marker;
    (void)problem;
    return Settled::kNotStored;
  }
};

}  // namespace solvard::prohibit
