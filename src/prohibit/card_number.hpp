#pragma once

#include <cstddef>
#include <string>

#include "serial/link.hpp"

namespace solvard::prohibit {

// Card numbers travel as ten decimal digits in five bytes.
inline constexpr std::size_t kCardDigits = 10;
inline constexpr std::size_t kCardBytes = kCardDigits / 2;

// A card the terminal can be told about: exactly ten decimal digits. Anything else would put
// another card on the line than the host named.
bool isTenDigitCard(const std::string& card);

// Writes the ten digits of `card` into the five bytes from `first` on, two digits to a byte,
// the earlier digit in the high half; each byte is a step of its own, so a pair that does not
// read as digits leaves its byte 0.
void packCardNumber(serial::Link& link, serial::Bytes& frame, std::size_t first,
                    const std::string& card);

}  // namespace solvard::prohibit
