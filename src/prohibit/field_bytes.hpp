#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace solvard::prohibit {

// Packed decimal: a value 0 to 99 as tens x 16 + units (29 gives 0x29). The sum is converted to
// a byte with range check, so a negative value raises 6 "Overflow".
uint8_t packedDecimal(int value);

// The character at `position` (counted from 0) of `text`, read as a 16-bit number, as the
// terminal's digit fields take it. A character that is no digit, or a position past the end
// (an empty text), raises a type_mismatch fault.
int16_t characterValue(std::string_view text, std::size_t position);

// The first character of the decimal text of `number`, read as a number: the weekday fields
// take only that digit, so 12 gives 1. A negative number's text begins with "-", which raises
// 13 "Type mismatch".
int16_t leadingDigit(int16_t number);

}  // namespace solvard::prohibit
