#include "serial/settings.hpp"

namespace solvard::serial {

std::string settingsTextFor(int32_t baudRate) { return std::to_string(baudRate) + ",N,8,1"; }

}  // namespace solvard::serial
