#pragma once

#include <cstdint>
#include <optional>

#include "attend/mac_function.hpp"
#include "automation/variant.hpp"
#include "serial/line_state.hpp"
#include "serial/port_setup.hpp"

namespace solvard::attend {

// The port as an `Attend` object prepares it for its own commands: its `CommPortID`, the text
// of its `CommBautRate` followed by ",N,8,1", its buffer sizes (the properties' defaults
// already applied).
serial::PortSetup objectPortSetup(int16_t commPortId, int16_t commBautRate,
                                  int16_t commInBufferSize, int16_t commOutBufferSize);

// Sends one short command to attendance terminal `machineNo` and waits for its acknowledgement:
// 1 when the first reply byte is the machine number, else 0. The port is prepared from
// `objectPort` (a settings text the port refuses is raised; see serial::applyObjectPort), the
// open is not tested and the buffers are never cleared; no byte within the
// wait tells no_acknowledgement (also when the port could not be opened), another machine's number
// wrong_machine. `first` and `second` are the command's values, copies the normalisation may
// change.
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
