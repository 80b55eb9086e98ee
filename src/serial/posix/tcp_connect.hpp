#pragma once

#include <chrono>
#include <string>

#include "serial/port_control.hpp"

namespace solvard::serial::posix {

// A connection to a device server, or why there is none.
struct Connection {
  int fd = -1;  // the socket, or -1
  OpenFailure::Kind kind = OpenFailure::Kind::Other;
  std::string reason;  // the resolver's or the system's own words
};

// Resolves `host` and connects to the first of its addresses that takes the connection, all
// before `deadline`. The socket is non-blocking and set up for a line: each frame leaves at
// once, and a device server that vanished without closing is noticed by the system.
Connection connectToServer(const std::string& host, const std::string& port,
                           std::chrono::steady_clock::time_point deadline);

}  // namespace solvard::serial::posix
