#pragma once

#include <cstdint>

#include "values/fault.hpp"

namespace solvard::serial {

// A number as one byte of a frame. One outside 0 to 255 does not fit and raises an overflow
// fault, which a command's step skips like any other, leaving the byte 0.
inline uint8_t byteOf(int32_t value) {
  if (value < 0 || value > 255) throw detail::Fault(detail::FaultKind::overflow);
  return static_cast<uint8_t>(value);
}

}  // namespace solvard::serial
