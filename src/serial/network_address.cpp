#include "serial/network_address.hpp"

#include <string_view>

namespace solvard::serial {
namespace {

constexpr std::string_view kRaw = "tcp://";
constexpr std::string_view kComPort = "rfc2217://";

bool startsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

bool validPort(std::string_view port) {
  if (port.empty() || port.size() > 5) return false;
  int value = 0;
  for (const char c : port) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  return value >= 1 && value <= 65535;
}

}  // namespace

bool isNetworkDevice(const std::string& device) {
  return startsWith(device, kRaw) || startsWith(device, kComPort);
}

std::optional<NetworkAddress> parseNetworkAddress(const std::string& device) {
  NetworkAddress address;
  std::string_view rest = device;
  if (startsWith(rest, kRaw)) {
    rest.remove_prefix(kRaw.size());
  } else if (startsWith(rest, kComPort)) {
    address.mode = NetworkAddress::Mode::ComPort;
    rest.remove_prefix(kComPort.size());
  } else {
    return std::nullopt;
  }
  std::string_view host;
  std::string_view port;
  if (startsWith(rest, "[")) {
    const auto close = rest.find(']');
    if (close == std::string_view::npos || rest.substr(close + 1, 1) != ":") return std::nullopt;
    host = rest.substr(1, close - 1);
    port = rest.substr(close + 2);
  } else {
    const auto colon = rest.rfind(':');
    if (colon == std::string_view::npos) return std::nullopt;
    host = rest.substr(0, colon);
    port = rest.substr(colon + 1);
    // An IPv6 host without brackets cannot be told from its port.
    if (host.find(':') != std::string_view::npos) return std::nullopt;
  }
  if (host.empty() || host.find_first_of("/ ") != std::string_view::npos || !validPort(port)) {
    return std::nullopt;
  }
  address.host = std::string(host);
  address.port = std::string(port);
  return address;
}

}  // namespace solvard::serial
