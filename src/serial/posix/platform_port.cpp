#include "serial/port_devices.hpp"
#include "serial/posix/posix_port.hpp"
#include "serial/shared_port.hpp"

namespace solvard::serial {

std::string platformPortDevice(int16_t number) { return "/dev/ttyS" + std::to_string(number - 1); }

std::unique_ptr<PortControl> makePlatformPort() { return std::make_unique<posix::PosixPort>(); }

std::unique_ptr<PortControl> makePlatformPort(const std::string& device) {
  return std::make_unique<posix::PosixPort>(device);
}

}  // namespace solvard::serial
