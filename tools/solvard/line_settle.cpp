#include "line_settle.hpp"

#include <algorithm>

#include "solvard/line.hpp"

namespace solvard::tool {

std::chrono::milliseconds quietTime(uint32_t baud, const std::string& device) {
  const auto twentyCharacters = std::chrono::milliseconds(200'000 / std::max<uint32_t>(baud, 1));
  const std::chrono::milliseconds least{isNetworkDevice(device) ? 500 : 100};
  return std::max(least, twentyCharacters);
}

std::optional<Error> settleLine(Line& line, uint32_t baud, const std::string& device,
                                const std::function<void(const std::string&)>& log) {
  const Result<std::size_t> got = line.awaitQuiet(quietTime(baud, device), kLongestStream);
  if (got) {
    if (*got > 0 && log)
      log("dropped " + std::to_string(*got) + " bytes an earlier exchange left on the line");
    return std::nullopt;
  }
  if (got.error().code() == Errc::unexpected_reply) return got.error();
  return std::nullopt;
}

}  // namespace solvard::tool
