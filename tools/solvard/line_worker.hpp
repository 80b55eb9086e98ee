#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace solvard::tool {

// The one thread that drives a line for the service: its scheduled passes and every action
// asked of it run here one at a time, in the order they came, so no two programs or requests
// ever fight over the device. Each job's own waits are bounded, so a terminal that does not
// answer holds the line no longer than its exchange allows.
class LineWorker {
 public:
  using Job = std::function<void()>;
  // Jobs beyond this many waiting are refused: a client that floods one line gets told so
  // instead of growing the queue without bound.
  static constexpr std::size_t kLongestQueue = 64;

  // Runs `pass` at once and then every `every` from the start of the one before, between jobs.
  LineWorker(std::chrono::seconds every, Job pass);
  // Finishes the job in hand; jobs still queued never run (their callers learn so).
  ~LineWorker();
  LineWorker(const LineWorker&) = delete;
  LineWorker& operator=(const LineWorker&) = delete;

  // Queues `job`; false when the queue is full or the worker is stopping.
  bool post(Job job);
  // Jobs waiting, the one running not counted.
  std::size_t queueDepth() const;
  // Asks the job in hand to end at its next safe point (see stopping) and runs nothing more.
  void stop();
  // Whether stop was asked: a download asks between records.
  bool stopping() const { return stopping_.load(); }

 private:
  void run();

  const std::chrono::seconds every_;
  const Job pass_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Job> jobs_;
  std::atomic<bool> stopping_{false};
  std::jthread thread_;
};

}  // namespace solvard::tool
