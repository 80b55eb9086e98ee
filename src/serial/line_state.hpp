#pragma once

#include <atomic>
#include <memory>
#include <optional>
#include <string>

#include "serial/host_link.hpp"
#include "serial/port_control.hpp"
#include "serial/settings.hpp"

namespace solvard::serial {

// What the last reply wait of a command saw, so that a failure can say how far the exchange
// got: the bytes awaited and the bytes that had come when the wait gave up, the frame sent
// last and the bytes read last.
struct LinkTrace {
  Bytes lastFrame;
  int awaited = 0;
  int arrived = 0;
  bool timedOut = false;
  Bytes lastRead;
};

// Everything one serial line holds: its port, its settings, the host's hooks, the flag of the
// command that holds it and the trace of that command's last wait. The automation classes all
// share the library's line; a native host owns one per line it drives.
struct LineState {
  // Created on first use by `makePort` (the platform's port when empty).
  std::unique_ptr<PortControl> port;
  std::function<std::unique_ptr<PortControl>()> makePort;
  HostHooks hooks;
  LibrarySettings settings;
  std::atomic<bool> commandRunning{false};
  // The device this line always opens, whatever port number a command names; empty: the port
  // number's device.
  std::string device;
  LinkTrace trace;
  // A command that cannot open the port ends there, rather than awaiting a reply that cannot
  // come (the automation face's attendance commands wait, as their hosts expect).
  bool endOnOpenFailure = false;
};

// The line the calling thread's commands run on: the one a `UsingLine` put in place, else the
// library's line.
LineState& currentLine();
LineState& libraryLine();

// Runs the calling thread's commands on `line` for as long as it lives.
class UsingLine {
 public:
  explicit UsingLine(LineState& line);
  ~UsingLine();
  UsingLine(const UsingLine&) = delete;
  UsingLine& operator=(const UsingLine&) = delete;

 private:
  LineState* previous_;
};

// The device the current line's terminals are reached through, as pending records name it.
std::string currentLineDevice();

}  // namespace solvard::serial
