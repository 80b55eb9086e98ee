#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "text/utf8.hpp"

namespace solvard::ui {

// Texts of the string tables are UTF-8, read as text/utf8.hpp reads them.
using text::firstMalformedByte;
using text::nextCodePoint;

// The first `maxCharacters` characters of `text`.
std::string_view firstCharacters(std::string_view text, std::size_t maxCharacters);

// East Asian wide characters take two character cells on the screen.
bool isWideCharacter(char32_t c);

}  // namespace solvard::ui
