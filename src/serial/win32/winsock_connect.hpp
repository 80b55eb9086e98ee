#pragma once

#include <winsock2.h>

#include <chrono>
#include <string>

#include "serial/port_control.hpp"

namespace solvard::serial::win32 {

// A connection to a device server through Winsock, or why there is none.
struct WinsockConnection {
  SOCKET socket = INVALID_SOCKET;
  OpenFailure::Kind kind = OpenFailure::Kind::Other;
  std::string reason;  // the system's own words
};

// Starts Winsock for the program's lifetime (once, whoever asks first); false when it cannot.
bool winsockStarted();

// Resolves `host` and connects to the first of its addresses that takes the connection, all
// before `deadline`. The socket is non-blocking and set up for a line: each frame leaves at
// once, and a device server that vanished without closing is noticed by the system.
WinsockConnection connectThroughWinsock(const std::string& host, const std::string& port,
                                        std::chrono::steady_clock::time_point deadline);

// The time left until `deadline` for select(), never negative.
timeval timeLeft(std::chrono::steady_clock::time_point deadline);

}  // namespace solvard::serial::win32
