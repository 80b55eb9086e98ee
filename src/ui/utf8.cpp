#include "ui/utf8.hpp"

namespace solvard::ui {

std::string_view firstCharacters(std::string_view text, std::size_t maxCharacters) {
  std::size_t pos = 0;
  for (std::size_t count = 0; count < maxCharacters && pos < text.size(); ++count) {
    nextCodePoint(text, pos);
  }
  return text.substr(0, pos);
}

bool isWideCharacter(char32_t c) {
  return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0x303E) ||
         (c >= 0x3041 && c <= 0x33FF) || (c >= 0x3400 && c <= 0x4DBF) ||
         (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xA000 && c <= 0xA4CF) ||
         (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
         (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
         (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x2FFFD) ||
         (c >= 0x30000 && c <= 0x3FFFD);
}

}  // namespace solvard::ui
