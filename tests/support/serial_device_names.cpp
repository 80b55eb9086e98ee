#include "support/serial_device_names.hpp"

#include <algorithm>
#include <array>
#include <cctype>

namespace solvard::testing {
namespace {

bool startsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// "COM" and a port number, in any case, optionally ended by ':' as DOS wrote it.
bool isComPortName(std::string_view name) {
  if (name.size() < 4) return false;
  for (std::size_t i = 0; i < 3; ++i) {
    if (std::toupper(static_cast<unsigned char>(name[i])) != "COM"[i]) return false;
  }
  std::string_view number = name.substr(3);
  if (number.back() == ':') number.remove_suffix(1);
  return !number.empty() && number.size() <= 3 &&
         std::all_of(number.begin(), number.end(), isDigit);
}

}  // namespace

bool isSerialDeviceName(std::string_view path) {
  static constexpr std::array<std::string_view, 5> kLinuxPrefixes = {
      "/dev/ttyS", "/dev/ttyUSB", "/dev/ttyACM", "/dev/ttyAMA", "/dev/serial/"};
  for (std::string_view prefix : kLinuxPrefixes) {
    if (startsWith(path, prefix) && path.size() > prefix.size()) return true;
  }
  // The device namespace forms of Windows, then the bare name.
  for (std::string_view prefix : {R"(\\.\)", R"(\\?\)", "//./", "//?/"}) {
    if (startsWith(path, prefix)) return isComPortName(path.substr(prefix.size()));
  }
  return isComPortName(path);
}

}  // namespace solvard::testing
