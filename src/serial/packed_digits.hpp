#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Decimal digits as both terminals carry them, two to a byte (packed decimal).
namespace solvard::serial {

// Two digit characters in one byte, the earlier in the high half: '1', '2' give 0x12. Each
// character is converted to a number on its own, so one that is not a decimal digit raises
// 13 "Type mismatch".
uint8_t digitPair(char high, char low);
// The pair of characters of `text` starting at `at`; a character beyond the end raises
// 5 "Invalid procedure call or argument".
uint8_t digitPairAt(std::string_view text, std::size_t at);
// A number 0 to 99 as the digit pair of its two-digit text: 29 gives 0x29, 5 gives 0x05.
// Anything else raises 6 "Overflow".
uint8_t twoDigitNumber(int value);
// A byte read back as a number: high half x 10 + low half, the halves taken as they come and
// not range-checked, so 0x29 gives 29, 0x0A 10, 0xFF 165.
int twoDigitValue(uint8_t byte);
// That number as text, "0" + digit for 0 to 9 and as decimal text otherwise: 0x05 gives "05",
// 0x29 "29", 0x0A "10", 0x1F "25", 0xAF "115", 0xFF "165".
std::string twoDigitText(uint8_t byte);

}  // namespace solvard::serial
