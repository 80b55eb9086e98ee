#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// The library's texts are UTF-8; Windows' entry points that take text in full (the W ones of
// ODBC, of the file and comm calls, COM's strings) take UTF-16. These convert at that boundary,
// checking what they convert: a text that is not well-formed is refused, never passed on as
// something else. Plain code, so every platform runs the same conversion and its tests.
namespace solvard::text {

// The UTF-16 form of a UTF-8 text; nothing when it is not well-formed UTF-8 (a stray or missing
// continuation byte, an overlong form, a surrogate's code, a code beyond U+10FFFF), with
// `badByte`, when given, set to the offset of the sequence that is not.
std::optional<std::u16string> utf16Of(std::string_view utf8, std::size_t* badByte = nullptr);

// The UTF-8 form of a UTF-16 text; nothing when it holds a surrogate that is not one of a pair,
// with `badUnit`, when given, set to its offset.
std::optional<std::string> utf8Of(std::u16string_view utf16, std::size_t* badUnit = nullptr);

// The UTF-8 form of a UTF-16 text with each unpaired surrogate as U+FFFD: for what a driver
// says about a failure, which is reported whatever it holds.
std::string utf8OfLenient(std::u16string_view utf16);

}  // namespace solvard::text
