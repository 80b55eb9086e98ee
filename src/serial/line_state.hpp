#pragma once

#include <atomic>
#include <memory>
#include <optional>
#include <string>

#include "serial/host_link.hpp"
#include "serial/port_control.hpp"
#include "serial/port_devices.hpp"
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
  // What the port numbers of the line's settings open (the platform's ports when none).
  const PortDevices* devices = nullptr;
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
  // Where the line's commands write their diagnostics and how far a download has got; either
  // may be empty (dropped). The library's line hands both to the library-wide sinks.
  std::function<void(const std::string& line)> log;
  // Records done so far and records in all (0 when unknown).
  std::function<void(int32_t done, int32_t total)> progress;

  // A log is told what happened; a sink that fails loses the line, not the command.
  void logLine(const std::string& text) const {
    try {
      if (log) log(text);
    } catch (...) {
    }
  }
  void reportProgress(int32_t done, int32_t total) const {
    if (progress) progress(done, total);
  }
  // Whether the host has asked the running download to stop.
  bool stopRequested() const { return hooks.stopRequested && hooks.stopRequested(); }
  // The device the line's terminals are reached through, as kept records name it.
  std::string devicePath() const;
};

}  // namespace solvard::serial
