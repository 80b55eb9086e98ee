#include "serial/settings.hpp"

#include "serial/line_state.hpp"

namespace solvard::serial {

LibrarySettings& librarySettings() { return libraryLine().settings; }

std::string settingsTextFor(int32_t baudRate) { return std::to_string(baudRate) + ",N,8,1"; }

}  // namespace solvard::serial
