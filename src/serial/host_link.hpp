#pragma once

#include <chrono>
#include <functional>

#include "serial/link.hpp"

namespace solvard::serial {

// What the host lends a line's commands: the turn of its message loop, where the commands'
// notices go and the clock reply waits measure. A GUI host pumps its events in `pump`.
struct HostHooks {
  Pump pump;               // empty: there is no loop to turn
  Notify notify;           // empty: the notices go nowhere
  Clock* clock = nullptr;  // null: the monotonic clock
  std::chrono::milliseconds slice{5};
  // Asked by the downloads between records: true when the host wants the download to stop
  // (an operator's Ctrl+C, say). Empty: never. It must be safe to call at any time.
  std::function<bool()> stopRequested;
};

struct LineState;

// The link for one command on `line`'s port, with the line's hooks. Raises 8005 while another
// command holds the line.
Link commandLink(LineState& line);
// The same link through `port`, a wrapper around the line's port (a download paces its waits
// through one).
Link commandLink(LineState& line, PortControl& port);

}  // namespace solvard::serial
