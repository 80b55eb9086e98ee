#pragma once

#include <cstdint>
#include <string>

namespace solvard::serial {

// The device a port number opens. A host maps numbers to the devices it has (USB adapters,
// pseudo-terminals); an unmapped number n opens the platform's n-th serial port.
void mapPortDevice(int16_t number, std::string devicePath);
// Forgets the mapping of `number`, so it opens the platform's own port again.
void unmapPortDevice(int16_t number);
std::string portDevicePath(int16_t number);

// The platform's own device for port `number` (1 is the first port); each backend defines it.
std::string platformPortDevice(int16_t number);

}  // namespace solvard::serial
