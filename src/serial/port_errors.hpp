#pragma once

#include <string>

#include "values/fault.hpp"

// The failures of the port itself, so that a failure before the open attempt reaches the host
// as a fault of its kind and words.
namespace solvard::serial::port_errors {

using detail::Fault;
using detail::FaultKind;

inline Fault portAlreadyOpen() { return Fault(FaultKind::port_busy); }
// A second command started while one is waiting for its reply on the one port.
inline Fault portBusy() {
  return Fault(FaultKind::port_busy, "another command is using the serial port");
}
inline Fault portUnavailable(const std::string& detail) {
  return Fault(FaultKind::port_unavailable, detail);
}
inline Fault portNotOpen() { return Fault(FaultKind::port_not_open); }
inline Fault portIoFailed(const std::string& detail) {
  return Fault(FaultKind::port_io_failed, detail);
}

}  // namespace solvard::serial::port_errors
