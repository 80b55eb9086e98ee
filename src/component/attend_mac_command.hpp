#pragma once

#include <cstdint>
#include <optional>

#include "attend/mac_command.hpp"
#include "automation/variant.hpp"

namespace solvard::attend {

// An `Attend` method's short command, with the values as the host gave them: checks them,
// builds the frame and sends it (see sendMacFrame); 1 when the terminal acknowledged, else 0.
// `first` and `second` are the command's values, copies the normalisation may change.
//
// Refused with 0 before the port is touched, nothing sent and no message: a machine number
// outside 0 to 255, a card number (DeleteCard) or flow number (SetFlowNo) that is not exactly
// six digits after padding, an original number (SetFlowNo) that is not exactly ten, and a time
// (SetTime) that holds no time of day. A date (SetDate) that is not one, or an unknown
// function, ends with 0 once the port is open, and leaves it open.
int32_t SendMacCommand(serial::LineState& line, const serial::PortSetup& objectPort,
                       int16_t machineNo, MacFunction function,
                       std::optional<automation::Variant> first = {},
                       std::optional<automation::Variant> second = {});

}  // namespace solvard::attend
