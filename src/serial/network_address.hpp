#pragma once

#include <optional>
#include <string>

// A line reached through a device server on the network instead of a local serial device.
namespace solvard::serial {

struct NetworkAddress {
  enum class Mode { Raw, ComPort };
  Mode mode = Mode::Raw;
  std::string host;  // without the brackets of an IPv6 address
  std::string port;  // decimal, 1 to 65535
};

// Whether `device` names a network line at all: it starts with tcp:// or rfc2217://.
bool isNetworkDevice(const std::string& device);

// "tcp://host:port" (the terminals' bytes as they are) or "rfc2217://host:port" (Telnet with
// the COM-PORT-OPTION); an IPv6 host is written in brackets. Nothing for anything else,
// including an empty host or a port that is not 1 to 65535.
std::optional<NetworkAddress> parseNetworkAddress(const std::string& device);

}  // namespace solvard::serial
