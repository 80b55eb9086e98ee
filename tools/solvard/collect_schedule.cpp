#include "collect_schedule.hpp"

#include <charconv>

namespace solvard::tool {

std::optional<std::chrono::seconds> passInterval(const std::string& text, std::string& problem) {
  problem = "\"" + text + "\" is not a number with s, m or h (30s, 5m, 1h), 1 s to 24 h";
  if (text.size() < 2) return std::nullopt;
  long long number = 0;
  const char* end = text.data() + text.size() - 1;
  const auto [stop, ec] = std::from_chars(text.data(), end, number);
  if (ec != std::errc() || stop != end || number < 1) return std::nullopt;
  long long unit = 0;
  switch (text.back()) {
    case 's': unit = 1; break;
    case 'm': unit = 60; break;
    case 'h': unit = 3600; break;
    default: return std::nullopt;
  }
  if (number > 24 * 3600 / unit) return std::nullopt;
  problem.clear();
  return std::chrono::seconds(number * unit);
}

}  // namespace solvard::tool
