#include "db/statement_watch.hpp"

#include <utility>

namespace solvard::db {

uint64_t WatchList::arm(Clock::time_point deadline, Cut cut) {
  const uint64_t ticket = next_++;
  entries_.emplace(ticket, Entry{deadline, std::move(cut)});
  return ticket;
}

bool WatchList::disarm(uint64_t ticket) {
  const auto entry = entries_.find(ticket);
  if (entry == entries_.end()) return false;
  const bool cutDone = entry->second.cutDone;
  entries_.erase(entry);
  return cutDone;
}

std::optional<WatchList::Clock::time_point> WatchList::fireDue(Clock::time_point now) {
  std::optional<Clock::time_point> next;
  for (auto& [ticket, entry] : entries_) {
    if (entry.cutDone) continue;
    if (entry.deadline <= now) {
      entry.cutDone = true;
      entry.cut();
      continue;
    }
    if (!next || entry.deadline < *next) next = entry.deadline;
  }
  return next;
}

Watchdog::Watchdog() : thread_([this] { run(); }) {}

Watchdog::~Watchdog() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ending_ = true;
  }
  wake_.notify_one();
  thread_.join();
}

uint64_t Watchdog::arm(std::chrono::milliseconds bound, WatchList::Cut cut) {
  const Clock::time_point deadline = Clock::now() + bound;
  bool sooner = false;
  uint64_t ticket = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ticket = calls_.arm(deadline, std::move(cut));
    sooner = !sleepsUntil_ || deadline < *sleepsUntil_;
  }
  if (sooner) wake_.notify_one();
  return ticket;
}

bool Watchdog::disarm(uint64_t ticket) {
  // The thread is not woken: at worst it wakes at the deadline of a call already gone, finds
  // nothing due and sleeps until the next one.
  std::lock_guard<std::mutex> lock(mutex_);
  return calls_.disarm(ticket);
}

void Watchdog::run() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!ending_) {
    sleepsUntil_ = calls_.fireDue(Clock::now());
    if (sleepsUntil_) {
      wake_.wait_until(lock, *sleepsUntil_);
    } else {
      wake_.wait(lock);
    }
  }
}

Watchdog& sessionWatchdog() {
  static Watchdog* const watchdog = new Watchdog();
  return *watchdog;
}

}  // namespace solvard::db
