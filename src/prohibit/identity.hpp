#pragma once

#include <cstdint>
#include <string>

#include "serial/line_state.hpp"
#include "serial/link.hpp"
#include "solvard/result.hpp"
#include "solvard/values.hpp"

namespace solvard::prohibit {

// The identity of an access-control terminal: frame [machine number, 12], answered in two
// pieces, the machine number within 1 to 2 seconds, then six bytes within 3 to 4 seconds more
// (bytes 1 to 5 the identity, two digits to a byte). Gives the ten-digit text, or the empty
// text when the port cannot be opened (told as a notice), when the first piece does not come or is
// not the machine number (no message), or when the second does not come complete (told as
// a notice before the port is closed). The port is closed in every ending; the buffers are
// cleared in those that fail after the open. `link` is the command's link to the line's port,
// opened with `setup`.
std::string ReadMacID(const int16_t& machineNo, serial::Link& link, const serial::PortSetup& setup);

// `ReadMacID` on `line`'s port. A machine number outside 0 to 255 gives the empty text
// before the port is touched: nothing sent, no message. A setting the port refuses raises.
std::string GetID(serial::LineState& line, int16_t MachineNo);
// The same with the value a native host gives: the identity as a card number, or why the
// exchange failed (serial/line_errors.hpp); ten digits that are not a card number are an
// unexpected reply.
Result<CardNumber> identity(serial::LineState& line, MachineNumber machine);

}  // namespace solvard::prohibit
