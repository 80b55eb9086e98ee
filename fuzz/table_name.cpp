// The rule for the host's table name, which the access-control download puts into its insert
// statement as it is. Whatever the rule accepts must stay one name in that statement: the
// harness reads an accepted name again by its own, simpler account of identifiers and quotes,
// and checks that the statement built with it holds nothing but the row's three texts.

#include "prohibit/table_name.hpp"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "prohibit/access_record.hpp"

namespace {

[[noreturn]] void broken() { __builtin_trap(); }

bool plainByte(unsigned char c) {
  return c >= 0x80 || c == '_' || (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') ||
         (c >= 'A' && c <= 'Z');
}

// Parts joined by '.', each plain bytes or quoted in "" or [] with no quote of its kind inside:
// what no engine can read as more than a name. Bytes beyond ASCII are left to the rule.
bool oneName(std::string_view name) {
  std::size_t pos = 0;
  for (;;) {
    if (pos >= name.size()) return false;
    const char open = name[pos];
    if (open == '"' || open == '[') {
      const char close = open == '"' ? '"' : ']';
      const std::size_t end = name.find(close, pos + 1);
      if (end == std::string_view::npos || end == pos + 1) return false;
      pos = end + 1;
    } else {
      const std::size_t begin = pos;
      while (pos < name.size() && plainByte(static_cast<unsigned char>(name[pos]))) ++pos;
      if (pos == begin) return false;
    }
    if (pos == name.size()) return true;
    if (name[pos++] != '.') return false;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string_view name(reinterpret_cast<const char*>(data), size);
  if (!solvard::prohibit::isTableName(name)) return 0;

  if (!oneName(name)) broken();
  for (const unsigned char c : name) {
    if (c < 0x20 || c == 0x7F || c == '\'' || c == ';' || c == '\\' || c == '`') broken();
  }
  for (std::string_view mark : {"--", "/*", "*/"}) {
    if (name.find(mark) != std::string_view::npos) broken();
  }
  const std::string statement = solvard::prohibit::insertStatement(
      name, solvard::prohibit::AccessRow{"1234567890", "2001-06-29", "08:05"});
  // Only the row's three texts are quoted strings, and nothing ends the statement early.
  if (std::count(statement.begin(), statement.end(), '\'') != 6) broken();
  if (statement.find(';') != std::string::npos) broken();
  return 0;
}
