#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <thread>

namespace solvard::db {

// A server that stops while a call waits on it (a stopped process, a machine that froze) still
// has its kernel acknowledge every packet, so neither the socket's keepalives nor the server's
// own statement bound end the wait, and a cancel request goes to the same stopped server. The
// client cuts such a call short itself: a watch armed before the call shuts the session's socket
// when the call outlives its deadline, so that the driver's blocked read fails and the call ends
// as a lost session.

// The calls in flight and their deadlines, with the rules for arming and disarming them. It
// keeps no clock and no thread of its own: `Watchdog` drives it under its lock.
class WatchList {
 public:
  using Clock = std::chrono::steady_clock;
  // What a call that outlives its deadline gets: its session's socket shut.
  using Cut = std::function<void()>;

  // A call begins. Unless it is disarmed first, `cut` runs once, from the first `fireDue` that
  // finds `deadline` reached.
  uint64_t arm(Clock::time_point deadline, Cut cut);
  // The call returned: whether its cut ran. Once disarmed, it never runs.
  bool disarm(uint64_t ticket);
  // Runs the cut of every armed call whose deadline is at or before `now`; returns the earliest
  // deadline still ahead, none when no call is waiting for its cut.
  std::optional<Clock::time_point> fireDue(Clock::time_point now);

 private:
  struct Entry {
    Clock::time_point deadline;
    Cut cut;
    bool cutDone = false;  // kept until the call disarms, so that it learns its cut ran
  };
  std::map<uint64_t, Entry> entries_;
  uint64_t next_ = 1;
};

// One thread that waits for the earliest deadline of the armed calls on a condition variable and
// runs the cuts that come due. A call that returns in time costs a lock taken twice: the thread
// is woken only when a call arrives with a deadline earlier than the one it already waits for.
// Cuts run under the lock, so `disarm` returning means the cut either ran before or never will:
// no socket is shut after its call returned (and the socket stays open until then).
class Watchdog {
 public:
  using Clock = WatchList::Clock;

  Watchdog();
  // Ends the thread; cuts still armed never run.
  ~Watchdog();
  Watchdog(const Watchdog&) = delete;
  Watchdog& operator=(const Watchdog&) = delete;

  // A call begins that may take `bound` at most; `cut` must be quick and must not arm or disarm.
  uint64_t arm(std::chrono::milliseconds bound, WatchList::Cut cut);
  // The call returned: whether its cut ran.
  bool disarm(uint64_t ticket);

 private:
  void run();

  std::mutex mutex_;
  std::condition_variable wake_;
  WatchList calls_;
  // The deadline the thread sleeps until; none while it sleeps without one.
  std::optional<Clock::time_point> sleepsUntil_;
  bool ending_ = false;
  std::thread thread_;
};

// The process's watchdog for the database sessions, started at its first use and never ended:
// a connection may live in a static object that ends after every other teardown.
Watchdog& sessionWatchdog();

}  // namespace solvard::db
