#pragma once

#include <chrono>
#include <functional>

#include "serial/link.hpp"

namespace solvard::serial {

// What the host lends the library's commands: the turn of its message loop, the operator's
// message box and the clock reply waits measure. A GUI host pumps its events in `pump`.
struct HostHooks {
  Pump pump;               // empty: there is no loop to turn
  Reporter reporter;       // empty: ui::ReportMessage
  Clock* clock = nullptr;  // null: the monotonic clock
  std::chrono::milliseconds slice{5};
  // Asked by the downloads between records: true when the host wants the download to stop
  // (an operator's Ctrl+C, say). Empty: never. It must be safe to call at any time.
  std::function<bool()> stopRequested;
};

struct LineState;

// The hooks of the library's line, which the automation classes share.
HostHooks& hostHooks();

// The link for one command on `line`'s port, with the line's hooks. Raises 8005 while another
// command holds the line.
Link commandLink(LineState& line);
// The same link through `port`, a wrapper around the line's port (a download paces its waits
// through one).
Link commandLink(LineState& line, PortControl& port);
// The link on the library's line.
Link commandLink();

}  // namespace solvard::serial
