#pragma once

#include <cstdint>
#include <span>

#include "faults.hpp"

namespace solvard::simulator {

enum class TerminalKind { Attendance, AccessControl };

// The length of a frame by its first bytes, or 0 while they are too few to tell.
// Attendance: byte 1 counts the bytes after the machine number. Access control: fixed per
// command code (byte 1).
std::size_t attendanceFrameLength(std::span<const uint8_t> head);
std::size_t accessControlFrameLength(std::span<const uint8_t> head);

// One terminal on the line, by machine number and kind. What it does with each command is its
// own: a kind of terminal derives from this and answers in `handle`. The simulator calls
// `frameLength` and `handle` on its own thread, holding its state lock.
class Terminal {
 public:
  Terminal(TerminalKind kind, uint8_t machine) : kind_(kind), machine_(machine) {}
  virtual ~Terminal() = default;

  TerminalKind kind() const { return kind_; }
  uint8_t machineNumber() const { return machine_; }

  virtual std::size_t frameLength(std::span<const uint8_t> head) const;
  // The reply to a complete frame addressed to this terminal; empty for none.
  virtual Bytes handle(std::span<const uint8_t> frame) = 0;

  // Spoils replies to come; safe from any thread.
  void inject(Fault fault, FaultSchedule when = FaultSchedule::next()) {
    faults_.add(std::move(fault), when);
  }
  void clearFaults() { faults_.clear(); }

  // The reply as it goes out: `handle`, then the faults due.
  PlannedReply respond(std::span<const uint8_t> frame) { return faults_.apply(handle(frame)); }

 private:
  TerminalKind kind_;
  uint8_t machine_;
  FaultPlan faults_;
};

}  // namespace solvard::simulator
