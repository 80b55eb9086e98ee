#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>

namespace solvard::serial {

// The devices a host's port numbers open: USB adapters, pseudo-terminals, device servers
// ("rfc2217://host:port"). An unmapped number n opens the platform's n-th serial port. The
// automation face keeps one for its line; a port made without one opens the platform's ports.
class PortDevices {
 public:
  void map(int16_t number, std::string devicePath);
  // Forgets the mapping of `number`, so it opens the platform's own port again.
  void unmap(int16_t number);
  std::string pathFor(int16_t number) const;

 private:
  mutable std::mutex mutex_;
  std::map<int16_t, std::string> paths_;
};

// The device port `number` opens: the one `devices` maps it to, or the platform's own.
std::string devicePathFor(const PortDevices* devices, int16_t number);

// The platform's own device for port `number` (1 is the first port); each backend defines it.
std::string platformPortDevice(int16_t number);

}  // namespace solvard::serial
