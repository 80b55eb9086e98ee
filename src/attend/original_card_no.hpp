#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "serial/line_state.hpp"

namespace solvard::attend {

// Asks attendance terminal `machineNo` for the original card number and returns it as ten
// digits, or nothing when the exchange failed. The port is the object's `CommPortID` with the
// line's settings text and buffer sizes. A port that cannot be opened tells port_cannot_open, a
// reply cut short after its first byte reply_incomplete; no reply, or one from another machine,
// ends without a message. A machine number outside 0 to 255 gives nothing without touching the
// port.
std::optional<std::string> ReadOriginalCardNo(serial::LineState& line, int16_t machineNo,
                                              int16_t commPortId);

// The card number carried by the reply bytes after the machine number (D0 to D6): D2 to D6 in
// that order, each as two digits. 01 23 45 67 89 gives "0123456789".
std::string originalCardNoText(std::span<const uint8_t> afterMachineNo);

}  // namespace solvard::attend
