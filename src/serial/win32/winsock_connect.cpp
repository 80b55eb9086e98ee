#include "serial/win32/winsock_connect.hpp"

#include <mstcpip.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "serial/bounded_call.hpp"
#include "serial/win32/win32_port.hpp"

namespace solvard::serial::win32 {
namespace {

using SteadyClock = std::chrono::steady_clock;

// A connection idle this long is probed, so a device server that vanished without closing is
// noticed by the system rather than waited on forever (the same timing as on Linux).
constexpr unsigned long kKeepIdleMs = 10'000;
constexpr unsigned long kKeepIntervalMs = 5'000;
constexpr int kKeepProbes = 3;
// The option that sets the number of probes, from Windows 10 1703 on; MinGW's headers lack it.
#ifdef TCP_KEEPCNT
constexpr int kKeepCountOption = TCP_KEEPCNT;
#else
constexpr int kKeepCountOption = 16;
#endif

struct Address {
  int family = 0;
  int type = 0;
  int protocol = 0;
  sockaddr_storage address{};
  int length = 0;
};

struct Resolution {
  std::vector<Address> addresses;
  int code = 0;  // getaddrinfo's error (a Winsock error code), 0 when it gave addresses
};

Resolution lookUp(const std::string& host, const std::string& port) {
  Resolution result;
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICSERV | AI_ADDRCONFIG;
  addrinfo* found = nullptr;
  result.code = ::getaddrinfo(host.c_str(), port.c_str(), &hints, &found);
  if (result.code != 0) return result;
  for (const addrinfo* info = found; info; info = info->ai_next) {
    if (info->ai_addrlen > sizeof(sockaddr_storage)) continue;
    Address address;
    address.family = info->ai_family;
    address.type = info->ai_socktype;
    address.protocol = info->ai_protocol;
    std::memcpy(&address.address, info->ai_addr, info->ai_addrlen);
    address.length = static_cast<int>(info->ai_addrlen);
    result.addresses.push_back(address);
  }
  ::freeaddrinfo(found);
  return result;
}

// Connects to one resolved address within the deadline: the socket, or INVALID_SOCKET and the
// error.
SOCKET connectOne(const Address& to, SteadyClock::time_point deadline, int& error) {
  const SOCKET s = ::socket(to.family, to.type, to.protocol);
  if (s == INVALID_SOCKET) {
    error = WSAGetLastError();
    return INVALID_SOCKET;
  }
  // Programs the host starts do not inherit the connection.
  (void)SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
  u_long nonBlocking = 1;
  if (::ioctlsocket(s, FIONBIO, &nonBlocking) != 0) {
    error = WSAGetLastError();
    ::closesocket(s);
    return INVALID_SOCKET;
  }
  if (::connect(s, reinterpret_cast<const sockaddr*>(&to.address), to.length) == 0) return s;
  if (WSAGetLastError() != WSAEWOULDBLOCK) {
    error = WSAGetLastError();
    ::closesocket(s);
    return INVALID_SOCKET;
  }
  // Winsock tells of a refused connection through the exception set, not the write set.
  fd_set written;
  fd_set failed;
  FD_ZERO(&written);
  FD_ZERO(&failed);
  FD_SET(s, &written);
  FD_SET(s, &failed);
  timeval left = timeLeft(deadline);
  const int ready = ::select(0, nullptr, &written, &failed, &left);
  if (ready <= 0) {
    error = ready == 0 ? WSAETIMEDOUT : WSAGetLastError();
    ::closesocket(s);
    return INVALID_SOCKET;
  }
  int result = 0;
  int size = sizeof result;
  if (::getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&result), &size) != 0) {
    result = WSAGetLastError();
  }
  if (result == 0 && FD_ISSET(s, &failed)) result = WSAECONNREFUSED;
  if (result != 0) {
    error = result;
    ::closesocket(s);
    return INVALID_SOCKET;
  }
  return s;
}

void setOption(SOCKET s, int level, int name, int value) {
  // A system without an option still gives a working line.
  (void)::setsockopt(s, level, name, reinterpret_cast<const char*>(&value), sizeof value);
}

void keepAlive(SOCKET s) {
  setOption(s, SOL_SOCKET, SO_KEEPALIVE, 1);
  tcp_keepalive timing{};
  timing.onoff = 1;
  timing.keepalivetime = kKeepIdleMs;
  timing.keepaliveinterval = kKeepIntervalMs;
  DWORD returned = 0;
  (void)::WSAIoctl(s, SIO_KEEPALIVE_VALS, &timing, sizeof timing, nullptr, 0, &returned, nullptr,
                   nullptr);
  // Older systems refuse it and keep their own number of probes.
  setOption(s, IPPROTO_TCP, kKeepCountOption, kKeepProbes);
}

}  // namespace

bool winsockStarted() {
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return started;
}

timeval timeLeft(SteadyClock::time_point deadline) {
  const auto left = std::chrono::ceil<std::chrono::microseconds>(deadline - SteadyClock::now());
  const int64_t micros = std::max<int64_t>(0, left.count());
  timeval value{};
  value.tv_sec = static_cast<long>(micros / 1'000'000);
  value.tv_usec = static_cast<long>(micros % 1'000'000);
  return value;
}

WinsockConnection connectThroughWinsock(const std::string& host, const std::string& port,
                                        SteadyClock::time_point deadline) {
  using Kind = OpenFailure::Kind;
  if (!winsockStarted()) return {INVALID_SOCKET, Kind::Other, "Winsock could not be started"};
  const std::optional<Resolution> resolved =
      callWithin<Resolution>([host, port] { return lookUp(host, port); }, deadline);
  if (!resolved) return {INVALID_SOCKET, Kind::Other, "the host name was not resolved in time"};
  if (resolved->code != 0) {
    const bool unknown = resolved->code == WSAHOST_NOT_FOUND || resolved->code == WSANO_RECOVERY;
    return {INVALID_SOCKET, unknown ? Kind::NotFound : Kind::Other,
            systemMessage(static_cast<unsigned long>(resolved->code))};
  }
  SOCKET s = INVALID_SOCKET;
  int error = WSAECONNREFUSED;
  for (const Address& one : resolved->addresses) {
    if (s != INVALID_SOCKET || SteadyClock::now() >= deadline) break;
    s = connectOne(one, deadline, error);
  }
  if (s == INVALID_SOCKET) {
    return {INVALID_SOCKET, Kind::Other, systemMessage(static_cast<unsigned long>(error))};
  }
  // Each frame leaves in one segment at once rather than waiting for more to send.
  setOption(s, IPPROTO_TCP, TCP_NODELAY, 1);
  keepAlive(s);
  return {s, Kind::Other, {}};
}

}  // namespace solvard::serial::win32
