#pragma once

#include <cstdint>
#include <string>

namespace solvard::tool {

// Port number a `--port PATH` option maps its device to for the call.
inline constexpr int16_t kPathPortNumber = 100;

// Reads a `--port` option: a port number, or a device path that is mapped to a port number.
// Returns false with a reason when the text is neither.
bool resolvePortOption(const std::string& text, int16_t& number, std::string& problem);

}  // namespace solvard::tool
