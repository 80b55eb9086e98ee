#include "serial/line_state.hpp"

#include "serial/port_devices.hpp"

namespace solvard::serial {

std::string LineState::devicePath() const {
  return device.empty() ? devicePathFor(devices, settings.portNumber) : device;
}

}  // namespace solvard::serial
