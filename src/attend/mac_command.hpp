#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "attend/mac_function.hpp"
#include "serial/line_state.hpp"
#include "serial/port_control.hpp"
#include "serial/port_setup.hpp"

namespace solvard::attend {

// The port as an `Attend` object prepares it for its own commands: its `CommPortID`, the text
// of its `CommBautRate` followed by ",N,8,1", its buffer sizes (the properties' defaults
// already applied).
serial::PortSetup objectPortSetup(int16_t commPortId, int16_t commBautRate,
                                  int16_t commInBufferSize, int16_t commOutBufferSize);

// The values of a command as its frame carries them after the command code, two decimal digits
// to a byte: a six-digit card number (DeleteCard); the ten-digit original number, then the
// six-digit flow number (SetFlowNo); hour, minute, second (SetTime); year of the century,
// month, day (SetDate). The digits and numbers must be checked already: a character that is no
// digit, or a number over 99, raises.
serial::Bytes cardValues(std::string_view sixDigits);
serial::Bytes flowValues(std::string_view sixDigits, std::string_view tenDigits);
serial::Bytes clockValues(int first, int second, int third);

// The frame of `function` for terminal `machine` with `values` (see above; none for
// ClearRecords and ClearCardList): machine number, the count of bytes that follow it, the
// command code, the values.
serial::Bytes macFrame(uint8_t machine, MacFunction function, const serial::Bytes& values);

// Sends one short command to attendance terminal `machine` and waits for its acknowledgement:
// 1 when the first reply byte is the machine number, else 0. The port is prepared from
// `objectPort` (a settings text the port refuses is raised; see serial::applyObjectPort), the
// open is not tested and the buffers are never cleared; no byte within the wait tells
// no_acknowledgement (also when the port could not be opened), another machine's number
// wrong_machine. Without a frame the command ends with 0 once the port is open, and leaves it
// open: what the automation face does for a date that is none or a function it does not know.
int32_t sendMacFrame(serial::LineState& line, const serial::PortSetup& objectPort, uint8_t machine,
                     const std::optional<serial::Bytes>& frame);

}  // namespace solvard::attend
