#pragma once

#include <memory>
#include <string>

#include "serial/port_control.hpp"

namespace solvard::serial {

struct LineState;
class PortDevices;

// A line's port, created the first time a command touches it and then kept.
PortControl& linePort(LineState& line);

// The platform's port, opening what `devices` maps each port number to (the platform's own
// ports when none); `devices` outlives the port. Each backend defines it.
std::unique_ptr<PortControl> makePlatformPort(const PortDevices* devices = nullptr);
// The platform's port on one fixed device (a path, or a name the platform knows).
std::unique_ptr<PortControl> makePlatformPort(const std::string& device);

}  // namespace solvard::serial
