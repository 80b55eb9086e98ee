#include "serial/port_devices.hpp"
#include "serial/shared_port.hpp"
#include "serial/win32/win32_port.hpp"

namespace solvard::serial {

// The device namespace form, which also reaches ports above COM9.
std::string platformPortDevice(int16_t number) { return R"(\\.\COM)" + std::to_string(number); }

std::unique_ptr<PortControl> makePlatformPort() { return std::make_unique<win32::Win32Port>(); }

std::unique_ptr<PortControl> makePlatformPort(const std::string& device) {
  return std::make_unique<win32::Win32Port>(device);
}

}  // namespace solvard::serial
