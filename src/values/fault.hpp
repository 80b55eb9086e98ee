#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace solvard::detail {

// Why the core refused a value or a port operation failed. The core raises a Fault and never a
// face's error; each face turns it into its own: the automation face into a run-time error
// number with these words, the native interface into an Errc.
enum class FaultKind {
  invalid_argument,     // "Invalid procedure call or argument": e.g. a digit beyond a text's end
  overflow,             // "Overflow": a number too large for its field
  type_mismatch,        // "Type mismatch": a character that is not the digit it must be
  invalid_value,        // "Invalid property value": a port value or line setting refused
  invalid_port_number,  // "Invalid port number": a port number below 1
  port_busy,            // "Port already open": open already, or another command is using it
  port_unavailable,     // "Port unavailable": the port cannot be opened
  port_not_open,        // "Port not open"
  port_io_failed,       // "Port read or write failed"
  other,                // raised by a face or a host through a hook, in its own words
};

// The words of a kind, as the description of a fault without detail.
std::string_view faultWords(FaultKind kind);

class Fault : public std::runtime_error {
 public:
  // The description is the kind's words, then ": " and the detail when there is one: "Port
  // unavailable: /dev/ttyUSB0: No such file or directory".
  explicit Fault(FaultKind kind, const std::string& detail = {});

  FaultKind kind() const noexcept { return kind_; }
  std::string description() const { return what(); }

 protected:
  // A face's own error, described in its own words.
  Fault(FaultKind kind, const std::string& description, std::nullptr_t)
      : std::runtime_error(description), kind_(kind) {}

 private:
  FaultKind kind_;
};

}  // namespace solvard::detail
