#include "serial/port_setup.hpp"

#include <limits>

#include "serial/link.hpp"
#include "values/fault.hpp"

namespace solvard::serial {
int16_t bufferSize(int32_t size) {
  if (size < std::numeric_limits<int16_t>::min() || size > std::numeric_limits<int16_t>::max()) {
    throw detail::Fault(detail::FaultKind::overflow);
  }
  return static_cast<int16_t>(size);
}

void applyObjectPort(Link& link, const PortSetup& setup) {
  PortControl& port = link.port();
  link.step([&] { port.CommPort(setup.portNumber); });
  port.Settings(setup.settingsText);
  link.step([&] { port.InBufferSize(bufferSize(setup.inBufferSize)); });
  link.step([&] { port.OutBufferSize(bufferSize(setup.outBufferSize)); });
  link.step([&] { port.InputMode(1); });
}

}  // namespace solvard::serial
