#include "serial/mapped_port.hpp"
#include "serial/network_address.hpp"
#include "serial/port_devices.hpp"
#include "serial/shared_port.hpp"
#include "serial/tcp_port.hpp"
#include "serial/win32/win32_port.hpp"

namespace solvard::serial {

// The device namespace form, which also reaches ports above COM9.
std::string platformPortDevice(int16_t number) { return R"(\\.\COM)" + std::to_string(number); }

// A port number may be mapped to a device server's address as well as to a comm device.
std::unique_ptr<PortControl> makePlatformPort(const PortDevices* devices) {
  return makeMappedPort<win32::Win32Port, TcpPort>(devices);
}

std::unique_ptr<PortControl> makePlatformPort(const std::string& device) {
  if (isNetworkDevice(device)) return std::make_unique<TcpPort>(device);
  return std::make_unique<win32::Win32Port>(device);
}

}  // namespace solvard::serial
