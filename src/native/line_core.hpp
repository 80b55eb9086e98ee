#pragma once

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "native/kept_store.hpp"
#include "prohibit/pending_records.hpp"
#include "serial/clock.hpp"
#include "serial/line_state.hpp"
#include "serial/notice.hpp"
#include "serial/port_setup.hpp"
#include "solvard/line.hpp"
#include "values/fault.hpp"

namespace solvard::detail {

// What one command of a native line noticed and logged, read back to explain a failure.
struct CommandNotes {
  std::vector<serial::Notice> notices;
  std::vector<std::string> log;

  bool said(serial::Notice notice) const;
  // The log lines joined, for an error's detail.
  std::string logText() const;
};

// A line's own state: its device or the host's port, settings, hooks, clock and the serial
// state its commands run on.
struct LineCore {
  LineCore(Device device, LineSettings settings, LineHooks hooks,
           std::shared_ptr<Port> hostPort = nullptr);

  Device device;
  LineSettings settings;
  LineHooks hooks;
  ByteTrace byteTrace;
  // The host's own port (Line::fromPort), opened instead of the device.
  std::shared_ptr<Port> hostPort;
  std::shared_ptr<Clock> clock;
  std::unique_ptr<serial::Clock> hostClock;  // `clock` as the reply waits read it
  serial::LineState state;
  std::atomic<bool> running{false};
  CommandNotes notes;
  // The host's kept-records store (Line::setKeptRecords); null: the library's.
  std::unique_ptr<prohibit::PendingRecords> kept;

  // Where the line's door downloads keep records now.
  prohibit::PendingRecords& keptStore() const { return kept ? *kept : processKeptRecords(); }

  // Runs `command` as this line's one command: the protocol functions it calls are given
  // `state`, which notes the command's notices and log lines. A command already running gives
  // line_busy; a fault the command raises becomes the matching Error.
  template <typename T, typename Command>
  Result<T> run(Command&& command) {
    if (running.exchange(true)) {
      return Error(Errc::line_busy, device.name() + ": another command is running on this line");
    }
    struct Release {
      std::atomic<bool>& flag;
      ~Release() { flag.store(false); }
    } release{running};
    notes = {};
    try {
      return command();
    } catch (const detail::Fault& fault) {
      return raised(fault);
    }
  }

  void noteLog(const std::string& line);
  // The error of a failed open of the line's port, if the last open failed.
  std::optional<Error> portFailure() const;
  Error raised(const detail::Fault& fault) const;
  // Why a single exchange with terminal `machine` failed, from what its last wait saw: `what`
  // names the reply awaited ("acknowledgement").
  Error exchangeFailure(uint8_t machine, const std::string& what) const;

  // The port setup an attendance command applies.
  serial::PortSetup portSetup() const;
};

}  // namespace solvard::detail
