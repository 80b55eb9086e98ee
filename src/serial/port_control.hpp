#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace solvard::serial {

using Bytes = std::vector<uint8_t>;

// Why the last open of a port failed, for a host that tells a person what to do about it.
struct OpenFailure {
  enum class Kind { NotFound, NotATerminal, PermissionDenied, InUse, SettingsRefused, Other };
  Kind kind = Kind::Other;
  std::string device;
  std::string reason;  // the system's own words ("No such file or directory")
};

// The serial-port control every exchange drives: the operations the link steps use, under the
// names hosts know them by, plus a bounded wait for input so that reply waits block on the
// port instead of spinning. A refused value or a failed operation raises a detail::Fault; the
// link steps decide whether that ends the command or is skipped.
class PortControl {
 public:
  virtual ~PortControl() = default;

  virtual bool PortOpen() const = 0;
  // Opens or closes the port. Opening a port that cannot be had raises; closing a closed port
  // does nothing.
  virtual void PortOpen(bool open) = 0;

  // Written only while the port is closed.
  virtual void CommPort(int16_t number) = 0;
  // "baud,parity,data bits,stop bits", e.g. "9600,N,8,1".
  virtual void Settings(const std::string& text) = 0;
  // Written only while the port is closed.
  virtual void InBufferSize(int16_t size) = 0;
  virtual void OutBufferSize(int16_t size) = 0;
  // 1 is binary input: `Input` yields the bytes as they arrived.
  virtual void InputMode(int16_t mode) = 0;

  // The received bytes waiting to be read.
  virtual int InBufferCount() = 0;
  // Only 0 is accepted: it discards the received bytes waiting.
  virtual void InBufferCount(int count) = 0;
  // Only 0 is accepted: it discards the bytes waiting to be sent.
  virtual void OutBufferCount(int count) = 0;
  // The most bytes one read of `Input` takes; 0 takes all that wait.
  virtual void InputLen(int length) = 0;
  // Takes the waiting bytes, at most `InputLen` of them, out of the receive buffer.
  virtual Bytes Input() = 0;
  // Queues the bytes for sending, unchanged.
  virtual void Output(std::span<const uint8_t> bytes) = 0;

  // Returns once new bytes may have arrived or `limit` has passed, whichever comes first. It
  // never raises and never returns early without cause, so a wait loop built on it costs no
  // CPU while the line is quiet (a closed or hung-up port simply sleeps the limit).
  virtual void waitForInput(std::chrono::milliseconds limit) = 0;
  // The same wait, for a caller that cannot go on before `wanted` more bytes are in: a port
  // that can may sleep until they all are instead of waking at each byte, so a reply costs
  // the host one wake-up, not one a byte. It still returns at `limit`, and may return earlier.
  virtual void waitForBytes(std::chrono::milliseconds limit, std::size_t wanted) {
    static_cast<void>(wanted);
    waitForInput(limit);
  }

  // Why the latest attempt to open the port failed; nothing once an open succeeded (or for a
  // port that cannot tell).
  virtual std::optional<OpenFailure> openFailure() const { return std::nullopt; }
};

}  // namespace solvard::serial
