#include "serial/port_setup.hpp"

#include "serial/settings.hpp"

namespace solvard::serial {

PortSetup librarySetup() {
  const LibrarySettings& settings = librarySettings();
  return {settings.portNumber, settings.settingsText, settings.inBufferSize,
          settings.outBufferSize};
}

}  // namespace solvard::serial
