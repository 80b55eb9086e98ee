#pragma once

#include <cstdint>

namespace solvard::serial {

// Byte 0 of every frame on the line is the machine number as one byte. A number outside 0 to 255
// does not fit it: sent anyway it would address another terminal than the host asked for, so
// the drivers refuse it before the port is touched.
inline bool addressesOneTerminal(int16_t machineNo) { return machineNo >= 0 && machineNo <= 255; }

}  // namespace solvard::serial
