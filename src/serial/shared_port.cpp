#include "serial/shared_port.hpp"

#include "serial/line_state.hpp"

namespace solvard::serial {

PortControl& sharedPort() {
  LineState& line = currentLine();
  if (!line.port) line.port = line.makePort ? line.makePort() : makePlatformPort();
  return *line.port;
}

std::unique_ptr<PortControl> replaceSharedPort(std::unique_ptr<PortControl> port) {
  std::swap(currentLine().port, port);
  return port;
}

}  // namespace solvard::serial
