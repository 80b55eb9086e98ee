#pragma once

#include <ctime>
#include <string>

namespace solvard::tool {

// `seconds` as UTC in a strftime `format` ("%Y-%m-%d %H:%M:%S"); at most 63 characters.
std::string utcText(std::time_t seconds, const char* format);

}  // namespace solvard::tool
