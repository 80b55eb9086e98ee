#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace solvard::ui {

// Texts of the string tables are UTF-8. A byte that does not begin a well-formed sequence
// counts as one character of its own, so a damaged text is still measured and cut without
// ever splitting a well-formed character.

// The code point starting at `pos`, advancing `pos` past it; a malformed byte gives U+FFFD
// and advances by one.
char32_t nextCodePoint(std::string_view text, std::size_t& pos);

// The first `maxCharacters` characters of `text`.
std::string_view firstCharacters(std::string_view text, std::size_t maxCharacters);

// The offset of the first byte that is not part of a well-formed character, or npos.
std::size_t firstMalformedByte(std::string_view text);

// East Asian wide characters take two character cells on the screen.
bool isWideCharacter(char32_t c);

}  // namespace solvard::ui
