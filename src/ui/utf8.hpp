#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "automation/utf8.hpp"

namespace solvard::ui {

// Texts of the string tables are UTF-8, read as automation/utf8.hpp reads them.
using automation::firstMalformedByte;
using automation::nextCodePoint;

// The first `maxCharacters` characters of `text`.
std::string_view firstCharacters(std::string_view text, std::size_t maxCharacters);

// East Asian wide characters take two character cells on the screen.
bool isWideCharacter(char32_t c);

}  // namespace solvard::ui
