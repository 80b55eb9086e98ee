#include "serial/posix/resolve_address.hpp"

#include <netdb.h>

#include <cerrno>
#include <cstring>

#include "serial/bounded_call.hpp"

namespace solvard::serial::posix {
namespace {

Resolution lookUp(const std::string& host, const std::string& port) {
  Resolution result;
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICSERV | AI_ADDRCONFIG;
  addrinfo* found = nullptr;
  result.code = ::getaddrinfo(host.c_str(), port.c_str(), &hints, &found);
  if (result.code != 0) {
    result.reason = result.code == EAI_SYSTEM ? std::string(std::strerror(errno))
                                              : std::string(::gai_strerror(result.code));
    return result;
  }
  for (const addrinfo* info = found; info; info = info->ai_next) {
    if (info->ai_addrlen > sizeof(sockaddr_storage)) continue;
    SocketAddress address;
    address.family = info->ai_family;
    address.type = info->ai_socktype;
    address.protocol = info->ai_protocol;
    std::memcpy(&address.address, info->ai_addr, info->ai_addrlen);
    address.length = info->ai_addrlen;
    result.addresses.push_back(address);
  }
  ::freeaddrinfo(found);
  return result;
}

}  // namespace

Resolution resolveAddress(const std::string& host, const std::string& port,
                          std::chrono::steady_clock::time_point deadline) {
  std::optional<Resolution> done =
      callWithin<Resolution>([host, port] { return lookUp(host, port); }, deadline);
  if (!done) {
    Resolution late;
    late.timedOut = true;
    late.reason = "the host name was not resolved in time";
    return late;
  }
  return std::move(*done);
}

}  // namespace solvard::serial::posix
