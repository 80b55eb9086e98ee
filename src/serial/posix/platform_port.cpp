#include "serial/mapped_port.hpp"
#include "serial/network_address.hpp"
#include "serial/port_devices.hpp"
#include "serial/posix/posix_port.hpp"
#include "serial/shared_port.hpp"
#include "serial/tcp_port.hpp"

namespace solvard::serial {

std::string platformPortDevice(int16_t number) { return "/dev/ttyS" + std::to_string(number - 1); }

std::unique_ptr<PortControl> makePlatformPort(const PortDevices* devices) {
  return makeMappedPort<posix::PosixPort, TcpPort>(devices);
}

std::unique_ptr<PortControl> makePlatformPort(const std::string& device) {
  if (isNetworkDevice(device)) return std::make_unique<TcpPort>(device);
  return std::make_unique<posix::PosixPort>(device);
}

}  // namespace solvard::serial
