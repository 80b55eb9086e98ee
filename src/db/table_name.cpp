#include "db/table_name.hpp"

#include <string>

#include "db/identifier_letters.hpp"
#include "text/utf8.hpp"

namespace solvard::db {
namespace {

bool isAsciiDigit(char32_t c) { return c >= '0' && c <= '9'; }

// A plain identifier from `pos` up to the next "." or the end; `pos` ends past it.
bool plainPart(std::string_view name, std::size_t& pos) {
  const std::size_t begin = pos;
  while (pos < name.size() && name[pos] != '.') {
    const bool first = pos == begin;
    const char32_t c = text::nextCodePoint(name, pos);
    const CharacterClass kind = identifierClass(c);
    if (kind == CharacterClass::Letter) continue;
    if (first || (kind != CharacterClass::Mark && !isAsciiDigit(c))) return false;
  }
  return pos > begin;
}

// A character that may stand between quotes: what no engine reads as the end of the quote, a
// string, an escape or the end of the statement.
bool quotable(char32_t c) {
  if (c >= 0x80) return identifierClass(c) != CharacterClass::Other;
  if (c < 0x20 || c == 0x7F) return false;
  return std::u32string_view(U"'\"`[];\\").find(c) == std::u32string_view::npos;
}

// A quoted identifier opened at `pos` and closed by `closing`; `pos` ends past the close.
bool quotedPart(std::string_view name, std::size_t& pos, char closing) {
  const std::size_t close = name.find(closing, pos + 1);
  if (close == std::string_view::npos) return false;
  const std::string_view inside = name.substr(pos + 1, close - pos - 1);
  if (inside.empty()) return false;
  for (std::string_view mark : {"--", "/*", "*/"}) {
    if (inside.find(mark) != std::string_view::npos) return false;
  }
  for (std::size_t at = 0; at < inside.size();) {
    if (!quotable(text::nextCodePoint(inside, at))) return false;
  }
  pos = close + 1;
  return true;
}

}  // namespace

bool isTableName(std::string_view name) {
  if (text::firstMalformedByte(name) != std::string_view::npos) return false;
  std::size_t pos = 0;
  for (;;) {
    if (pos >= name.size()) return false;  // an empty name, or a "." with nothing after it
    bool part = false;
    if (name[pos] == '[') {
      part = quotedPart(name, pos, ']');
    } else if (name[pos] == '"') {
      part = quotedPart(name, pos, '"');
    } else {
      part = plainPart(name, pos);
    }
    if (!part) return false;
    if (pos == name.size()) return true;
    if (name[pos] != '.') return false;  // a quoted part with more after its close
    ++pos;
  }
}

}  // namespace solvard::db
