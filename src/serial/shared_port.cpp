#include "serial/shared_port.hpp"

#include "serial/line_state.hpp"

namespace solvard::serial {

PortControl& linePort(LineState& line) {
  if (!line.port) line.port = line.makePort ? line.makePort() : makePlatformPort(line.devices);
  return *line.port;
}

}  // namespace solvard::serial
