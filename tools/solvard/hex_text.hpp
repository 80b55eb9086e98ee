#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace solvard::tool {

// "03 11": bytes as people read them on a line monitor.
std::string hexText(std::span<const uint8_t> bytes);

}  // namespace solvard::tool
