#pragma once

#include <string>

namespace solvard::serial {

// What a line is, whatever it was called: a local device by its resolved path (a
// /dev/serial/by-id link and the /dev/ttyUSB0 it points to are one line), a network line by its
// host and port (tcp:// and rfc2217:// to the same device server port are one line; the host's
// letters in either case). A name that cannot be resolved (the device is unplugged) is its own
// text.
std::string deviceKey(const std::string& device);

// Whether two device texts name the same line.
bool sameDevice(const std::string& one, const std::string& other);

}  // namespace solvard::serial
