#include "printable_text.hpp"

#include <algorithm>
#include <cstdio>

namespace solvard::tool {
namespace {

bool isControl(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte < 0x20 || byte == 0x7F;
}

// As TOML and JSON write it, so the operator finds it in what was written.
std::string escape(char c) {
  switch (c) {
    case '\n': return "\\n";
    case '\r': return "\\r";
    case '\t': return "\\t";
    default: {
      char text[8];
      std::snprintf(text, sizeof text, "\\u%04X", static_cast<unsigned char>(c));
      return text;
    }
  }
}

}  // namespace

std::string controlCharacterProblem(std::string_view text) {
  const auto found = std::find_if(text.begin(), text.end(), isControl);
  if (found == text.end()) return {};
  return "contains a control character (" + escape(*found) + "): give printable text";
}

std::string escapedControls(std::string_view text) {
  std::string shown;
  for (const char c : text) shown += isControl(c) ? escape(c) : std::string(1, c);
  return shown;
}

}  // namespace solvard::tool
