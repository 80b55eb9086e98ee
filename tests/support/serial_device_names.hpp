#pragma once

#include <string_view>

namespace solvard::testing {

// Whether `path` names a real serial device, which no test may open: a machine wired to a line
// would send the test's frames to real terminals. Linux names (/dev/ttyS*, ttyUSB*, ttyACM*,
// ttyAMA*, anything under /dev/serial/) and the Windows port names a Wine build would use
// (COM1, com12:, \\.\COM12). Pseudo-terminals are not serial devices.
bool isSerialDeviceName(std::string_view path);

}  // namespace solvard::testing
