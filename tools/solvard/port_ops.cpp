#include "port_ops.hpp"

#include <charconv>

#include "component/library_line.hpp"

namespace solvard::tool {

bool resolvePortOption(const std::string& text, int16_t& number, std::string& problem) {
  if (text.empty()) {
    problem = "--port needs a port number or a device path";
    return false;
  }
  if (text.find('/') != std::string::npos) {
    component::mapPortDevice(kPathPortNumber, text);
    number = kPathPortNumber;
    return true;
  }
  int value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value < -32768 || value > 32767) {
    problem = "--port takes a port number (1 is /dev/ttyS0) or a device path, not \"" + text + "\"";
    return false;
  }
  number = static_cast<int16_t>(value);
  return true;
}

}  // namespace solvard::tool
