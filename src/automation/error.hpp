#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace solvard::automation {

// A failed automation call: the run-time error number and description a host sees.
// The C++ API throws it; the late-bound dispatch hands it back as the call's error.
class AutomationError : public std::runtime_error {
 public:
  AutomationError(int32_t number, std::string description)
      : std::runtime_error(description), number_(number), description_(std::move(description)) {}

  int32_t number() const noexcept { return number_; }
  const std::string& description() const noexcept { return description_; }

 private:
  int32_t number_;
  std::string description_;
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

inline AutomationError invalidCall() {
  return {kInvalidCall, "Invalid procedure call or argument"};
}
inline AutomationError overflow() { return {kOverflow, "Overflow"}; }
inline AutomationError typeMismatch() { return {kTypeMismatch, "Type mismatch"}; }
inline AutomationError invalidPropertyValue() {
  return {kInvalidPropertyValue, "Invalid property value"};
}
inline AutomationError notSupported() {
  return {kNotSupported, "Object doesn't support this action"};
}
inline AutomationError invalidPortNumber() { return {kInvalidPortNumber, "Invalid port number"}; }
}  // namespace errors

}  // namespace solvard::automation
