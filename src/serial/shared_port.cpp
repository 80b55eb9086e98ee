#include "serial/shared_port.hpp"

#include "serial/line_state.hpp"

namespace solvard::serial {

PortControl& linePort(LineState& line) {
  if (!line.port) line.port = line.makePort ? line.makePort() : makePlatformPort();
  return *line.port;
}

PortControl& sharedPort() { return linePort(libraryLine()); }

std::unique_ptr<PortControl> replaceSharedPort(std::unique_ptr<PortControl> port) {
  std::swap(libraryLine().port, port);
  return port;
}

}  // namespace solvard::serial
