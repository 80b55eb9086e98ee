#include "hex_text.hpp"

#include <cstdio>

namespace solvard::tool {

std::string hexText(std::span<const uint8_t> bytes) {
  std::string out;
  for (uint8_t b : bytes) {
    char buf[4];
    std::snprintf(buf, sizeof buf, "%02X", b);
    if (!out.empty()) out += ' ';
    out += buf;
  }
  return out;
}

}  // namespace solvard::tool
