#include "serial/settings.hpp"

namespace solvard::serial {

LibrarySettings& librarySettings() {
  static LibrarySettings settings;
  return settings;
}

std::string settingsTextFor(int32_t baudRate) { return std::to_string(baudRate) + ",N,8,1"; }

}  // namespace solvard::serial
