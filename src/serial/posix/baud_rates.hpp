#pragma once

#include <termios.h>

#include <cstdint>
#include <optional>

namespace solvard::serial::posix {

// The termios speed for a baud rate, if the line discipline has one.
std::optional<speed_t> speedFor(int32_t baudRate);

}  // namespace solvard::serial::posix
