#include "serial/port_devices.hpp"

#include <map>
#include <mutex>

namespace solvard::serial {
namespace {

struct DeviceMap {
  std::mutex mutex;
  std::map<int16_t, std::string> paths;
};

DeviceMap& deviceMap() {
  static DeviceMap map;
  return map;
}

}  // namespace

void mapPortDevice(int16_t number, std::string devicePath) {
  auto& map = deviceMap();
  std::lock_guard lock(map.mutex);
  map.paths[number] = std::move(devicePath);
}

void unmapPortDevice(int16_t number) {
  auto& map = deviceMap();
  std::lock_guard lock(map.mutex);
  map.paths.erase(number);
}

std::string portDevicePath(int16_t number) {
  auto& map = deviceMap();
  {
    std::lock_guard lock(map.mutex);
    if (auto it = map.paths.find(number); it != map.paths.end()) return it->second;
  }
  return platformPortDevice(number);
}

}  // namespace solvard::serial
