#pragma once

#include <cstdint>

#include "serial/line_state.hpp"
#include "solvard/result.hpp"
#include "solvard/values.hpp"

namespace solvard::prohibit {

// The short commands of an access-control terminal. Each sends one frame [machine number,
// command code, payload] to the terminal `MachineNo` on the port and awaits the
// acknowledgement [machine number, 2]: true after it, false after a timeout, a wrong reply or
// a port that cannot be opened (told as a notice). A machine number outside 0 to 255 is refused
// before the port is touched: false, nothing sent, no message. A setting the port refuses
// raises.

// Code 2, acknowledgement awaited 3 seconds. `iTime` above 255 becomes 255 and below 1 becomes
// 5; the caller's variable holds the value sent.
bool SetResetDelay(serial::LineState& line, int16_t MachineNo, int16_t& iTime);
// Code 3. `iMod` other than 255 becomes 0; the caller's variable holds the value sent.
bool SetLockMode(serial::LineState& line, int16_t MachineNo, int16_t& iMod);
// Code 8.
bool SetLockOpenState(serial::LineState& line, int16_t MachineNo);
// Code 10.
bool ClearOpenRecord(serial::LineState& line, int16_t MachineNo);
// Code 11.
bool ClearOpenList(serial::LineState& line, int16_t MachineNo);
// Code 17.
bool OpenLock(serial::LineState& line, int16_t MachineNo);
// Code 16. 1 after the acknowledgement (which carries no further state), 0 after a timeout, a
// wrong reply or a refused machine number, -1 when the port cannot be opened.
int32_t GetLockState(serial::LineState& line, int16_t MachineNo);

// The same commands with the values a native host gives, each ending as a value: nothing after
// the acknowledgement, otherwise why it failed (serial/line_errors.hpp). The values are the
// terminal's own: a reset delay of 1 to 255 seconds, a lock mode of 0 or 255.
Result<void> setResetDelay(serial::LineState& line, MachineNumber machine, uint8_t seconds);
Result<void> setLockMode(serial::LineState& line, MachineNumber machine, uint8_t mode);
Result<void> holdLockOpen(serial::LineState& line, MachineNumber machine);
Result<void> clearOpenRecord(serial::LineState& line, MachineNumber machine);
Result<void> clearOpenList(serial::LineState& line, MachineNumber machine);
Result<void> openLock(serial::LineState& line, MachineNumber machine);
// Acknowledged: the terminal is there (its acknowledgement carries no further state).
Result<void> lockState(serial::LineState& line, MachineNumber machine);

}  // namespace solvard::prohibit
