#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

#include "prohibit/pending_records.hpp"
#include "serial/line_state.hpp"
#include "serial/link.hpp"
#include "serial/settings.hpp"

namespace solvard::component {

// Shows the operator message `number` (style 64, title "Merovane") and returns once the box is
// closed.
using Reporter = std::function<void(int32_t number)>;

// What the host lends the automation classes' commands: the turn of its message loop, the
// operator's message box and the clock reply waits measure. A GUI host pumps its events in
// `pump`.
struct LibraryHooks {
  serial::Pump pump;               // empty: there is no loop to turn
  Reporter reporter;               // empty: ui::ReportMessage
  serial::Clock* clock = nullptr;  // null: the monotonic clock
  std::chrono::milliseconds slice{5};
  // Asked by the downloads between records: true when the host wants the download to stop.
  // Empty: never. It must be safe to call at any time.
  std::function<bool()> stopRequested;
};

LibraryHooks& libraryHooks();

// The one line every object of both classes shares: the library-wide settings and port, the
// hooks above, and the library's log and progress sinks. Each command takes it afresh, with the
// hooks as they stand then.
serial::LineState& libraryLine();

// The port settings shared by every object of both classes.
serial::LibrarySettings& librarySettings();

// What the library's port numbers open: `CommPortID` 3 opens what 3 is mapped to (a USB
// adapter, a pseudo-terminal, "rfc2217://host:port"), an unmapped number the platform's own
// port. A host that names its devices maps them before the first command.
serial::PortDevices& libraryPortDevices();
void mapPortDevice(int16_t number, std::string devicePath);
void unmapPortDevice(int16_t number);

// The one port of the library's line, serving every object of both classes.
serial::PortControl& sharedPort();
// Puts `port` in the place of the library's port (a scripted port in tests) and returns the one
// it replaces, which may be empty if none had been created yet. An empty `port` makes the next
// use create the platform's port again.
std::unique_ptr<serial::PortControl> replaceSharedPort(std::unique_ptr<serial::PortControl> port);

// The records the automation classes' door downloads could not hand over, kept in memory for
// as long as the library is loaded and handed over first by the next download of that door.
prohibit::PendingRecords& libraryKeptRecords();
// Installs `kept` in its place (empty: a fresh one in memory) and returns the one it replaces.
std::shared_ptr<prohibit::PendingRecords> setLibraryKeptRecords(
    std::shared_ptr<prohibit::PendingRecords> kept);

// The link for one command on the library's line.
serial::Link commandLink();

}  // namespace solvard::component
