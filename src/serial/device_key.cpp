#include "serial/device_key.hpp"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

#include "serial/network_address.hpp"

namespace solvard::serial {

std::string deviceKey(const std::string& device) {
  if (isNetworkDevice(device)) {
    const auto address = parseNetworkAddress(device);
    if (!address) return device;
    std::string host = address->host;
    std::transform(host.begin(), host.end(), host.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    // A fully qualified name may end in the root's dot.
    if (host.size() > 1 && host.back() == '.') host.pop_back();
    return "network " + host + " " + address->port;
  }
  std::error_code error;
  const std::filesystem::path resolved = std::filesystem::canonical(device, error);
  if (error) return device;
  return resolved.string();
}

bool sameDevice(const std::string& one, const std::string& other) {
  return one == other || deviceKey(one) == deviceKey(other);
}

}  // namespace solvard::serial
