#pragma once

#include <cstdint>
#include <string>

#include "values/fault.hpp"

namespace solvard::automation {

// A failed automation call: the run-time error number and description a host sees.
// The C++ API throws it; the late-bound dispatch hands it back as the call's error. It is a
// fault of the kind its number stands for, so the core's steps treat it as the fault it is.
class AutomationError : public detail::Fault {
 public:
  AutomationError(int32_t number, const std::string& description);

  int32_t number() const noexcept { return number_; }

 private:
  int32_t number_;
};

// The classic automation run-time errors the library raises.
namespace errors {
inline constexpr int32_t kInvalidCall = 5;
inline constexpr int32_t kOverflow = 6;
inline constexpr int32_t kTypeMismatch = 13;
inline constexpr int32_t kInvalidPropertyValue = 380;
inline constexpr int32_t kNotSupported = 445;
inline constexpr int32_t kInvalidPortNumber = 8002;
inline constexpr int32_t kPortBusy = 8005;
inline constexpr int32_t kPortUnavailable = 8010;
inline constexpr int32_t kPortNotOpen = 8012;
inline constexpr int32_t kPortIoFailed = 8020;

AutomationError invalidCall();
AutomationError overflow();
AutomationError typeMismatch();
AutomationError invalidPropertyValue();
AutomationError notSupported();
AutomationError invalidPortNumber();
}  // namespace errors

// The error a host sees for `fault`: the fault itself when the face raised it, otherwise the
// number of its kind with its description.
AutomationError asAutomationError(const detail::Fault& fault);

}  // namespace solvard::automation
