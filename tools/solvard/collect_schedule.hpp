#pragma once

#include <chrono>
#include <optional>
#include <string>

namespace solvard::tool {

// "30s", "5m", "1h": the time from one pass's start to the next, 1 s to 24 h. Nothing, with the
// problem, for another text.
std::optional<std::chrono::seconds> passInterval(const std::string& text, std::string& problem);

}  // namespace solvard::tool
