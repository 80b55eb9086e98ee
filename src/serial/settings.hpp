#pragma once

#include <cstdint>
#include <string>

#include "serial/port_setup.hpp"

namespace solvard::serial {

// The port settings shared by every object of both classes (component/library_line.hpp).
// Object creation and the `Prohibit` property lets write them; every access-control command
// applies them afresh.
using LibrarySettings = PortSetup;

// The settings text for a baud rate: the rate in decimal followed by ",N,8,1".
std::string settingsTextFor(int32_t baudRate);

}  // namespace solvard::serial
