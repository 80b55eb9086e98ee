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

HostHooks& hostHooks();

// Whether the host has asked the running download to stop.
bool stopRequested();

// The link for one command on the library's one port, with the host's hooks. Raises 8005 while
// another command holds the port.
Link commandLink();
// The same link through `port`, a wrapper around the library's port (a download paces its waits
// through one).
Link commandLink(PortControl& port);

}  // namespace solvard::serial
