#include "serial/port_devices.hpp"

namespace solvard::serial {

void PortDevices::map(int16_t number, std::string devicePath) {
  std::lock_guard lock(mutex_);
  paths_[number] = std::move(devicePath);
}

void PortDevices::unmap(int16_t number) {
  std::lock_guard lock(mutex_);
  paths_.erase(number);
}

std::string PortDevices::pathFor(int16_t number) const {
  {
    std::lock_guard lock(mutex_);
    if (auto it = paths_.find(number); it != paths_.end()) return it->second;
  }
  return platformPortDevice(number);
}

std::string devicePathFor(const PortDevices* devices, int16_t number) {
  return devices != nullptr ? devices->pathFor(number) : platformPortDevice(number);
}

}  // namespace solvard::serial
