#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Decimal digits as the attendance terminal carries them, two to a byte.
namespace solvard::attend {

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
// A byte read back as a number of two digits, the halves taken as they come: 0x05 gives "05",
// 0x0A gives "10", 0xAF gives "115".
std::string twoDigitText(uint8_t byte);

}  // namespace solvard::attend
