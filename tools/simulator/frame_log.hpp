#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "faults.hpp"

namespace solvard::simulator {

using TimePoint = std::chrono::steady_clock::time_point;

// One frame as the line carried it: every byte with the time it was read.
struct LoggedFrame {
  enum class Fate {
    Answered,     // a terminal took it; `reply` went back (empty when a fault silenced it)
    Unaddressed,  // no terminal plays its machine number: dropped
    Incomplete,   // the line went idle before the frame was whole: dropped
    Echoed,       // echo mode: sent straight back
  };
  Bytes bytes;
  std::vector<TimePoint> times;
  Fate fate = Fate::Answered;
  Bytes reply;
};

// Every frame the simulator received, in order. Written by the simulator's thread, read by
// tests, which may wait for frames to come.
class FrameLog {
 public:
  void add(LoggedFrame frame);
  std::vector<LoggedFrame> frames() const;
  // Waits until at least `count` frames are logged; false if `limit` passes first.
  bool waitFor(std::size_t count, std::chrono::milliseconds limit) const;
  void clear();
  // The frames logged so far, leaving the log empty: a reader that runs for days keeps only
  // what it has not shown yet.
  std::vector<LoggedFrame> take();

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable added_;
  std::vector<LoggedFrame> frames_;
};

}  // namespace solvard::simulator
