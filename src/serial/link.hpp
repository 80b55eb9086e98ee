#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>

#include "serial/clock.hpp"
#include "serial/command_guard.hpp"
#include "serial/notice.hpp"
#include "serial/port_control.hpp"
#include "serial/port_setup.hpp"
#include "serial/reply_wait.hpp"
#include "values/fault.hpp"

namespace solvard::serial {

struct LineState;

// One turn of the host's message loop: dispatch what is pending, then return.
using Pump = std::function<void()>;

// What a link works with. Commands get their line's port, the monotonic clock or the host's, and
// the host's pump and notice receiver (see host_link.hpp); tests give a scripted port and a
// manual clock.
struct LinkServices {
  PortControl& port;
  Clock& clock;
  Pump pump;      // may be empty: no host loop to turn
  Notify notify;  // may be empty: the notices go nowhere
  // How long one pass of a reply wait blocks on the port before counting again.
  std::chrono::milliseconds slice{5};
  // The line the command runs on: its command flag, the trace of its waits and its log. Null:
  // a line of the link's own, for a link that stands alone.
  LineState* line = nullptr;
};

enum class OpenResult { Opened, CannotOpen };

// How a wait for a quiet line ended, and how many bytes it dropped on the way.
struct QuietWait {
  enum class End { Quiet, StillReceiving, Stopped };
  End end = End::Quiet;
  std::size_t dropped = 0;
};
enum class OnOpenFailure { Report, Silent };

// The serial link as one command sees it: the steps every exchange with a terminal is built of,
// and the skip-on-failure rule that holds from the open attempt on. A link holds the one port
// for its command, so a second command started from the host's message loop while this one
// waits is refused (8005).
class Link {
 public:
  explicit Link(LinkServices services);
  ~Link();
  Link(const Link&) = delete;
  Link& operator=(const Link&) = delete;

  // Closes the port if open, applies `setup` (port number, settings text, input and output
  // buffer sizes, binary input), then opens the port. A refused setting raises. A port that
  // cannot be opened is told as Notice::port_cannot_open (unless `onFailure` is Silent) and leaves
  // the port closed. From the open attempt on, the skip-on-failure rule holds; should the port
  // still be open after the close, the exchange goes on with it and without the rule.
  OpenResult OpenPort(const PortSetup& setup, OnOpenFailure onFailure = OnOpenFailure::Report);
  // Discards the received bytes waiting, then the bytes waiting to be sent.
  void ClearBuffers();
  // The whole frame in one write, nothing added before or after.
  void SendFrame(std::span<const uint8_t> frame);
  // Waits until `count` received bytes wait, by the plain rule: up to `timeoutSeconds` whole
  // seconds, giving up between T and T + 1 seconds after it began.
  WaitResult AwaitReply(int count, int timeoutSeconds);
  // The same wait measured by another rule.
  WaitResult awaitReply(int count, int limitSeconds, const WaitRule& rule);
  // One read of at most `count` bytes; bytes beyond stay in the buffer and are lost at close.
  // Under the skip-on-failure rule a failed read gives no bytes.
  Bytes ReadReply(int count);
  // Closes the port if it is open.
  void ClosePort();
  // Reads and drops what arrives until nothing has come for `quiet`, or until `limit` has
  // passed since the wait began, or until `stop` (may be empty) says the host wants to stop.
  QuietWait awaitQuiet(std::chrono::nanoseconds quiet, std::chrono::nanoseconds limit,
                       const std::function<bool()>& stop);
  // The ending of an exchange that failed after the open: the port closed, then the bytes left
  // on either side discarded.
  void closeAndClear() {
    ClosePort();
    ClearBuffers();
  }

  // The parts of `OpenPort`, for commands that prepare the port their own way. Each setting is
  // one step: it raises, or is skipped while the skip-on-failure rule holds.
  void applySettings(const PortSetup& setup);
  // Opens the port unless it is open; tells whether it is open now. No message; a failure the
  // skip-on-failure rule skips goes to the library log with the port's reason (the device and
  // why it cannot be opened).
  bool openIfClosed();
  // Tells that the port cannot be opened.
  void reportPortFailure();
  // Tells the host `notice`. A receiver that fails loses the notice, not the command: the line's
  // log says so and the command goes on.
  void report(Notice notice);

  // Turns the skip-on-failure rule on or off for the rest of the command.
  void skipFailures(bool on = true) { skipping_ = on; }
  bool skippingFailures() const { return skipping_; }
  // Runs one step of the command: while the skip-on-failure rule holds, a failure of the step
  // is skipped and the command goes on; otherwise it is raised.
  template <typename Step>
  void step(Step&& run) {
    if (!skipping_) {
      run();
      return;
    }
    try {
      run();
    } catch (const detail::Fault&) {
    }
  }

  // For the odd operation a command sets beyond the steps (e.g. `InputLen` before its own read).
  PortControl& port() { return services_.port; }
  // The reading of the clock the waits measure, for a command that bounds its whole run.
  std::chrono::nanoseconds now() { return services_.clock.now(); }

 private:
  // A count that fails counts as nothing waiting.
  int waitingCount();
  // Gives the host's loop its turn, then waits one slice for input: for `wanted` more bytes
  // when the caller needs that many before it can go on.
  void yieldOnce(std::size_t wanted = 1);

  LinkServices services_;
  std::unique_ptr<LineState> ownLine_;
  LineState& line_;
  CommandGuard guard_;
  bool skipping_ = false;
};

}  // namespace solvard::serial
