#pragma once

#include <string>

#include "automation/error.hpp"

// The failures of the port itself, as automation errors so that a failure before the open
// attempt reaches the host with a number and a description.
namespace solvard::serial::port_errors {

inline constexpr int32_t kPortUnavailable = 8010;
inline constexpr int32_t kPortNotOpen = 8012;
inline constexpr int32_t kPortIoFailed = 8020;

inline automation::AutomationError portAlreadyOpen() {
  return {automation::errors::kPortBusy, "Port already open"};
}
// A second command started while one is waiting for its reply on the one port.
inline automation::AutomationError portBusy() {
  return {automation::errors::kPortBusy,
          "Port already open: another command is using the serial port"};
}
inline automation::AutomationError portUnavailable(const std::string& detail) {
  return {kPortUnavailable, "Port unavailable: " + detail};
}
inline automation::AutomationError portNotOpen() { return {kPortNotOpen, "Port not open"}; }
inline automation::AutomationError portIoFailed(const std::string& detail) {
  return {kPortIoFailed, "Port read or write failed: " + detail};
}

}  // namespace solvard::serial::port_errors
