#include "utc_text.hpp"

namespace solvard::tool {

std::string utcText(std::time_t seconds, const char* format) {
  std::tm utc{};
  ::gmtime_r(&seconds, &utc);
  char text[64];
  const std::size_t length = std::strftime(text, sizeof text, format, &utc);
  return std::string(text, length);
}

}  // namespace solvard::tool
