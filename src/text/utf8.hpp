#pragma once

#include <cstddef>
#include <string_view>

// Texts are UTF-8: the host's strings, the string tables and the table names a host gives. A
// byte that does not begin a well-formed sequence counts as one character of its own, so a
// damaged text is still measured and cut without ever splitting a well-formed character.
namespace solvard::text {

// The code point starting at `pos`, advancing `pos` past it; a malformed byte gives U+FFFD
// and advances by one.
char32_t nextCodePoint(std::string_view text, std::size_t& pos);

// The offset of the first byte that is not part of a well-formed character, or npos.
std::size_t firstMalformedByte(std::string_view text);

}  // namespace solvard::text
