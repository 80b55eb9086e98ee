#pragma once

#include <cstdint>
#include <optional>
#include <string>

// The line rate goes to the device through the kernel's termios2 interface, which takes any
// rate as a number where termios takes only its fixed speed constants (no 14400, no 28800).
// The kernel's declarations of it clash with <termios.h>, so they stay in line_rate.cpp.
namespace solvard::serial::posix {

// Sets the device's rate, both directions, to `baudRate`, leaving the rest of its settings as
// they are, and reads back the rate it runs at. The reason when it does not take the rate: the
// system refused the request, or the device reports another rate (a driver that cannot divide
// its clock down to the rate keeps the one it had, or falls back to a default).
std::optional<std::string> setLineRate(int fd, uint32_t baudRate);

// The rate the device reports for its output, or nothing if it cannot be read. On the far end
// of a pseudo-terminal it reads the near end's rate.
std::optional<uint32_t> lineRate(int fd);

// Whether a device reporting `reported` runs at `asked`: the same rate within 2 %, as much as a
// driver that reports the rate its clock divides down to may differ, and less than two UARTs'
// clocks may differ and still frame every byte.
bool runsAt(uint32_t asked, uint32_t reported);

}  // namespace solvard::serial::posix
