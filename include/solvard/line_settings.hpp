#pragma once

#include <cstdint>

namespace solvard {

enum class Parity { none, even, odd, mark, space };

// How the line's bytes travel. Any baud rate the device takes; 7 or 8 data bits; 1 or 2 stop
// bits.
struct LineSettings {
  uint32_t baud = 9600;
  Parity parity = Parity::none;
  int dataBits = 8;
  int stopBits = 1;
};

}  // namespace solvard
