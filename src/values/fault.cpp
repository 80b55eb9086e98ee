#include "values/fault.hpp"

namespace solvard::detail {

std::string_view faultWords(FaultKind kind) {
  switch (kind) {
    case FaultKind::invalid_argument: return "Invalid procedure call or argument";
    case FaultKind::overflow: return "Overflow";
    case FaultKind::type_mismatch: return "Type mismatch";
    case FaultKind::invalid_value: return "Invalid property value";
    case FaultKind::invalid_port_number: return "Invalid port number";
    case FaultKind::port_busy: return "Port already open";
    case FaultKind::port_unavailable: return "Port unavailable";
    case FaultKind::port_not_open: return "Port not open";
    case FaultKind::port_io_failed: return "Port read or write failed";
    case FaultKind::other: break;
  }
  return {};
}

namespace {

std::string describe(FaultKind kind, const std::string& detail) {
  std::string text(faultWords(kind));
  if (!detail.empty()) text += text.empty() ? detail : ": " + detail;
  return text;
}

}  // namespace

Fault::Fault(FaultKind kind, const std::string& detail)
    : std::runtime_error(describe(kind, detail)), kind_(kind) {}

}  // namespace solvard::detail
