#pragma once

#include <cstdint>
#include <string>

namespace solvard::serial {

// The port settings shared by every object of both classes. Object creation and the
// `Prohibit` property lets write them; every access-control command applies them afresh.
struct LibrarySettings {
  int16_t portNumber = 0;
  std::string settingsText = "9600,N,8,1";
  int32_t inBufferSize = 1024;
  int32_t outBufferSize = 512;
};

LibrarySettings& librarySettings();

// The settings text for a baud rate: the rate in decimal followed by ",N,8,1".
std::string settingsTextFor(int32_t baudRate);

}  // namespace solvard::serial
