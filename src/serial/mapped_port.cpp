#include "serial/mapped_port.hpp"

#include "serial/network_address.hpp"
#include "serial/port_devices.hpp"

namespace solvard::serial {

MappedPort::MappedPort(std::unique_ptr<PortControl> local, std::unique_ptr<PortControl> network,
                       const PortDevices* devices)
    : devices_(devices), local_(std::move(local)), networkPort_(std::move(network)) {}

void MappedPort::PortOpen(bool open) {
  if (open && !active().PortOpen()) network_ = isNetworkDevice(devicePathFor(devices_, number_));
  active().PortOpen(open);
}

void MappedPort::CommPort(int16_t number) {
  both([&](PortControl& port) { port.CommPort(number); });
  number_ = number;
}

void MappedPort::Settings(const std::string& text) {
  both([&](PortControl& port) { port.Settings(text); });
}

void MappedPort::InBufferSize(int16_t size) {
  both([&](PortControl& port) { port.InBufferSize(size); });
}

void MappedPort::OutBufferSize(int16_t size) {
  both([&](PortControl& port) { port.OutBufferSize(size); });
}

void MappedPort::InputMode(int16_t mode) {
  both([&](PortControl& port) { port.InputMode(mode); });
}

void MappedPort::InputLen(int length) {
  both([&](PortControl& port) { port.InputLen(length); });
}

}  // namespace solvard::serial
