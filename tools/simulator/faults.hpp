#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <vector>

namespace solvard::simulator {

using Bytes = std::vector<uint8_t>;

// Something going wrong with a terminal's reply, as tests provoke it.
struct Fault {
  enum class Kind {
    Silence,       // no reply at all
    Delay,         // the reply, `delay` late
    Partial,       // only the first `keep` bytes of the reply
    WrongMachine,  // the reply with `machine` as its first byte
    ExtraBytes,    // `bytes` appended to the reply
    Garbage,       // `bytes` instead of the reply
    LineVanishes,  // after whatever is sent, the line is gone (the pseudo-terminal closes)
  };
  Kind kind = Kind::Silence;
  std::chrono::milliseconds delay{};
  std::size_t keep = 0;
  uint8_t machine = 0;
  Bytes bytes;

  static Fault silence() { return make(Kind::Silence); }
  static Fault delayed(std::chrono::milliseconds by) {
    Fault fault = make(Kind::Delay);
    fault.delay = by;
    return fault;
  }
  static Fault partial(std::size_t keep) {
    Fault fault = make(Kind::Partial);
    fault.keep = keep;
    return fault;
  }
  static Fault wrongMachine(uint8_t machine) {
    Fault fault = make(Kind::WrongMachine);
    fault.machine = machine;
    return fault;
  }
  static Fault extraBytes(Bytes bytes) {
    Fault fault = make(Kind::ExtraBytes);
    fault.bytes = std::move(bytes);
    return fault;
  }
  static Fault garbage(Bytes bytes) {
    Fault fault = make(Kind::Garbage);
    fault.bytes = std::move(bytes);
    return fault;
  }
  static Fault lineVanishes() { return make(Kind::LineVanishes); }

 private:
  static Fault make(Kind kind) {
    Fault fault;
    fault.kind = kind;
    return fault;
  }
};

// Which replies a fault spoils: the next one, every one, or the k-th (counted from 1 over the
// frames the terminal has answered).
struct FaultSchedule {
  enum class Kind { Next, Every, Reply };
  Kind kind = Kind::Next;
  int reply = 0;

  static FaultSchedule next() { return {Kind::Next, 0}; }
  static FaultSchedule every() { return {Kind::Every, 0}; }
  static FaultSchedule onReply(int k) { return {Kind::Reply, k}; }
};

// A reply as it goes out, faults applied.
struct PlannedReply {
  Bytes bytes;
  std::chrono::milliseconds delay{};
  bool vanish = false;
};

// The faults waiting for a terminal's replies. Tests add them from their own thread while the
// simulator answers, so it is locked.
class FaultPlan {
 public:
  void add(Fault fault, FaultSchedule when);
  void clear();
  // Applies the faults due for the terminal's next reply, in the order they were added.
  PlannedReply apply(Bytes reply);

 private:
  struct Entry {
    Fault fault;
    FaultSchedule when;
  };
  std::mutex mutex_;
  std::vector<Entry> entries_;
  int replies_ = 0;
};

}  // namespace solvard::simulator
