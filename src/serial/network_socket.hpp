#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "serial/port_control.hpp"

namespace solvard::serial {

// One TCP connection to a device server through the platform's sockets. The network port's
// Telnet and line handling is the same on every platform; only these calls differ. Nothing here
// waits unless it is given a deadline.
class NetworkSocket {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;

  struct ConnectFailure {
    OpenFailure::Kind kind = OpenFailure::Kind::Other;
    std::string reason;  // the resolver's or the system's own words
  };

  enum class State {
    Done,        // `count` bytes went or came
    WouldBlock,  // nothing can go or come without waiting
    Closed,      // the device server closed the connection
    Failed,      // the system failed the connection: `reason`
  };
  struct Transfer {
    State state = State::Failed;
    std::size_t count = 0;
    std::string reason;
  };

  enum class Readiness {
    Readable,     // bytes, or the end of the connection, can be read
    HungUp,       // the connection ended or failed with nothing left to read
    TimedOut,     // the deadline passed (or the wait itself failed)
    Interrupted,  // a signal ended the wait early
  };

  virtual ~NetworkSocket() = default;

  // Resolves `host` and connects to the first of its addresses that takes the connection, all
  // before `deadline`; nothing when connected. Each frame then leaves at once, and a device
  // server that vanished without closing is noticed by the system.
  virtual std::optional<ConnectFailure> connect(const std::string& host, const std::string& port,
                                                TimePoint deadline) = 0;
  virtual void close() = 0;
  virtual bool isOpen() const = 0;
  // What the system takes of `bytes` now.
  virtual Transfer send(std::span<const uint8_t> bytes) = 0;
  // What has come, up to the room's size, without waiting.
  virtual Transfer receive(std::span<uint8_t> room) = 0;
  virtual Readiness waitReadable(TimePoint deadline) = 0;
  // False when the send queue had no room by `deadline`.
  virtual bool waitWritable(TimePoint deadline) = 0;
};

// The platform's sockets; each backend defines it.
std::unique_ptr<NetworkSocket> makeNetworkSocket();

}  // namespace solvard::serial
