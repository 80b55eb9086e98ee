#pragma once

#include <memory>
#include <string>

#include "serial/port_control.hpp"

namespace solvard::serial {

struct LineState;

// A line's port, created the first time a command touches it and then kept.
PortControl& linePort(LineState& line);
// The one port of the library's line, serving every object of both classes.
PortControl& sharedPort();

// Puts `port` in the place of the library's port (a scripted port in tests) and returns the one
// it replaces, which may be empty if none had been created yet. An empty `port` makes the next
// use create the platform's port again.
std::unique_ptr<PortControl> replaceSharedPort(std::unique_ptr<PortControl> port);

// The platform's port; each backend defines it.
std::unique_ptr<PortControl> makePlatformPort();
// The platform's port on one fixed device (a path, or a name the platform knows).
std::unique_ptr<PortControl> makePlatformPort(const std::string& device);

}  // namespace solvard::serial
