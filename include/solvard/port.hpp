#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>

#include "solvard/export.hpp"
#include "solvard/line_settings.hpp"
#include "solvard/result.hpp"

namespace solvard {

// How one read of a port ended.
enum class ReadEnd {
  data,    // bytes came (the count says how many)
  waited,  // nothing came within the wait
  closed,  // the device hung up or failed: nothing more comes until it is opened again
};

struct PortRead {
  std::size_t count = 0;  // bytes put at the start of the room
  ReadEnd end = ReadEnd::waited;
};

// A byte port of the host's own, for a line the library has no device for (a USB bridge with
// its own driver, a radio modem, a test's scripted terminal): Line::fromPort takes one. The line
// calls it only from the thread running its command, opening it for each command and closing
// it after, as it does a serial device.
class SOLVARD_API Port {
 public:
  virtual ~Port();

  // Takes the device and puts `settings` on it. A failure's code says why (port_not_found,
  // port_in_use, port_settings_refused, port_failed, ...) and its detail in the device's words.
  virtual Result<void> open(const LineSettings& settings) = 0;
  // Puts what has come into `room`, at most its size; when nothing has come yet, waits up to
  // `wait` for the first bytes. A port whose line runs on a test's clock moves that clock by the
  // time it waited, so the line's reply waits end.
  virtual PortRead read(std::span<uint8_t> room, std::chrono::milliseconds wait) = 0;
  // Sends the bytes whole; a failure when the device does not take them.
  virtual Result<void> write(std::span<const uint8_t> bytes) = 0;
  // Drops what has come and was not read: the leftovers of an earlier exchange.
  virtual void discardInput() = 0;
  // Lets the device go. Never fails; closing a closed port does nothing.
  virtual void close() = 0;
};

}  // namespace solvard
