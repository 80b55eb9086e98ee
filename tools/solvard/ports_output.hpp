#pragma once

#include <string>
#include <vector>

#include "serial_device_list.hpp"

namespace solvard::tool {

// What `solvard ports` prints for the serial lines it found: one line a device in aligned
// columns (device, driver, USB ids, what the USB device says it is), each by-id name on an
// indented line below its device; "no serial devices found" when there is none.
std::string portsText(const std::vector<SerialDevice>& devices);

// The same as the one JSON object every `solvard` action prints: "command", "machine", "ok",
// "result" (one object a device; what a device does not report is null) and "error". Always
// valid UTF-8: a byte of a device's string that is not part of a character becomes U+FFFD.
std::string portsJson(const std::vector<SerialDevice>& devices);

// The object for a listing that could not be made: "ok" false, "error" says why.
std::string portsErrorJson(const std::string& problem);

}  // namespace solvard::tool
