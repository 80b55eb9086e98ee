#pragma once

#include <optional>
#include <string>
#include <string_view>

// Reading and writing numbers as automation text does, shared by the conversions and the
// formatting. Not part of the interface others call.
namespace solvard::automation {

bool isBlank(char c);
std::string_view trimBlanks(std::string_view text);

// Text that reads as a number: blanks around, an optional sign, digits with an optional fraction
// (at least one digit in all), an optional exponent. A number too large for a double comes back
// as an infinity of its sign, so that the caller can raise an overflow rather than a mismatch.
std::optional<double> readNumber(std::string_view text);

// The shortest decimal text that reads back as the same double; without an exponent from 1E-04
// up to below 1E+15, with an automation-style exponent ("1E+15", "2.5E-05") beyond.
std::string numberText(double value);

}  // namespace solvard::automation
