#include "automation/error.hpp"

#include <array>
#include <utility>

namespace solvard::automation {
namespace {

using detail::FaultKind;

// The one table of the core's fault kinds and the run-time error numbers hosts know them by.
constexpr std::array<std::pair<FaultKind, int32_t>, 9> kNumbers{{
    {FaultKind::invalid_argument, errors::kInvalidCall},
    {FaultKind::overflow, errors::kOverflow},
    {FaultKind::type_mismatch, errors::kTypeMismatch},
    {FaultKind::invalid_value, errors::kInvalidPropertyValue},
    {FaultKind::invalid_port_number, errors::kInvalidPortNumber},
    {FaultKind::port_busy, errors::kPortBusy},
    {FaultKind::port_unavailable, errors::kPortUnavailable},
    {FaultKind::port_not_open, errors::kPortNotOpen},
    {FaultKind::port_io_failed, errors::kPortIoFailed},
}};

// A fault the table does not name can only be a face's or a host's own; should one reach a
// host without its number, it is an internal error.
constexpr int32_t kInternalError = 51;

FaultKind kindOf(int32_t number) {
  for (const auto& [kind, known] : kNumbers) {
    if (known == number) return kind;
  }
  return FaultKind::other;
}

int32_t numberOf(FaultKind kind) {
  for (const auto& [known, number] : kNumbers) {
    if (known == kind) return number;
  }
  return kInternalError;
}

AutomationError plain(int32_t number) {
  return {number, std::string(detail::faultWords(kindOf(number)))};
}

}  // namespace

AutomationError::AutomationError(int32_t number, const std::string& description)
    : Fault(kindOf(number), description, nullptr), number_(number) {}

AutomationError asAutomationError(const detail::Fault& fault) {
  if (const auto* error = dynamic_cast<const AutomationError*>(&fault)) return *error;
  return {numberOf(fault.kind()), fault.description()};
}

namespace errors {
AutomationError invalidCall() { return plain(kInvalidCall); }
AutomationError overflow() { return plain(kOverflow); }
AutomationError typeMismatch() { return plain(kTypeMismatch); }
AutomationError invalidPropertyValue() { return plain(kInvalidPropertyValue); }
AutomationError notSupported() { return {kNotSupported, "Object doesn't support this action"}; }
AutomationError invalidPortNumber() { return plain(kInvalidPortNumber); }
}  // namespace errors

}  // namespace solvard::automation
