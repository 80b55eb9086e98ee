#include "windows/guid.hpp"

#include <cstdlib>

namespace solvard::windows {
namespace {

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads `digits` hex digits at `pos`; false on anything else.
bool readHex(std::string_view text, size_t pos, int digits, unsigned long long& out) {
  out = 0;
  for (int i = 0; i < digits; ++i) {
    int v = hexValue(text[pos + i]);
    if (v < 0) return false;
    out = out * 16 + static_cast<unsigned>(v);
  }
  return true;
}

}  // namespace

std::optional<GUID> parseGuid(std::string_view text) {
  // {8-4-4-4-12}
  if (text.size() != 38 || text.front() != '{' || text.back() != '}') return std::nullopt;
  if (text[9] != '-' || text[14] != '-' || text[19] != '-' || text[24] != '-') return std::nullopt;
  GUID g{};
  unsigned long long v = 0;
  if (!readHex(text, 1, 8, v)) return std::nullopt;
  g.Data1 = static_cast<unsigned long>(v);
  if (!readHex(text, 10, 4, v)) return std::nullopt;
  g.Data2 = static_cast<unsigned short>(v);
  if (!readHex(text, 15, 4, v)) return std::nullopt;
  g.Data3 = static_cast<unsigned short>(v);
  const size_t bytePos[8] = {20, 22, 25, 27, 29, 31, 33, 35};
  for (int i = 0; i < 8; ++i) {
    if (!readHex(text, bytePos[i], 2, v)) return std::nullopt;
    g.Data4[i] = static_cast<unsigned char>(v);
  }
  return g;
}

GUID guidOf(std::string_view text) {
  std::optional<GUID> g = parseGuid(text);
  if (!g) std::abort();
  return *g;
}

std::wstring guidText(const GUID& guid) {
  wchar_t buffer[40] = {};
  StringFromGUID2(guid, buffer, 40);
  return buffer;
}

}  // namespace solvard::windows
