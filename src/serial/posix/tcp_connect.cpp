#include "serial/posix/tcp_connect.hpp"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "serial/posix/resolve_address.hpp"

namespace solvard::serial::posix {
namespace {

using SteadyClock = std::chrono::steady_clock;

// A connection idle this long is probed, so a device server that vanished without closing is
// noticed by the system rather than waited on forever.
constexpr int kKeepIdleSeconds = 10;
constexpr int kKeepIntervalSeconds = 5;
constexpr int kKeepProbes = 3;

int millisecondsUntil(SteadyClock::time_point deadline) {
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now());
  return static_cast<int>(std::max<int64_t>(0, left.count()));
}

// Connects to one resolved address within the deadline: the socket, or -1 and the error.
int connectOne(const SocketAddress& to, SteadyClock::time_point deadline, int& error) {
  const int fd = ::socket(to.family, to.type | SOCK_NONBLOCK | SOCK_CLOEXEC, to.protocol);
  if (fd < 0) {
    error = errno;
    return -1;
  }
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&to.address), to.length) == 0) return fd;
  if (errno != EINPROGRESS) {
    error = errno;
    ::close(fd);
    return -1;
  }
  pollfd done{fd, POLLOUT, 0};
  int ready = 0;
  do {
    ready = ::poll(&done, 1, millisecondsUntil(deadline));
  } while (ready < 0 && errno == EINTR);
  if (ready <= 0) {
    error = ETIMEDOUT;
    ::close(fd);
    return -1;
  }
  int result = 0;
  socklen_t size = sizeof result;
  if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &result, &size) != 0) result = errno;
  if (result != 0) {
    error = result;
    ::close(fd);
    return -1;
  }
  return fd;
}

void setOption(int fd, int level, int name, int value) {
  // A system without an option (keepalive timing on some) still gives a working line.
  (void)::setsockopt(fd, level, name, &value, sizeof value);
}

}  // namespace

Connection connectToServer(const std::string& host, const std::string& port,
                           SteadyClock::time_point deadline) {
  using Kind = OpenFailure::Kind;
  const Resolution resolved = resolveAddress(host, port, deadline);
  if (resolved.timedOut || resolved.code != 0) {
    const bool unknown = resolved.code == EAI_NONAME || resolved.code == EAI_FAIL;
    return {-1, unknown ? Kind::NotFound : Kind::Other, resolved.reason};
  }
  int fd = -1;
  int error = ECONNREFUSED;
  for (const SocketAddress& one : resolved.addresses) {
    if (fd >= 0 || SteadyClock::now() >= deadline) break;
    fd = connectOne(one, deadline, error);
  }
  if (fd < 0) return {-1, Kind::Other, std::strerror(error)};

  // Each frame leaves in one segment at once rather than waiting for more to send.
  setOption(fd, IPPROTO_TCP, TCP_NODELAY, 1);
  setOption(fd, SOL_SOCKET, SO_KEEPALIVE, 1);
#ifdef TCP_KEEPIDLE
  setOption(fd, IPPROTO_TCP, TCP_KEEPIDLE, kKeepIdleSeconds);
  setOption(fd, IPPROTO_TCP, TCP_KEEPINTVL, kKeepIntervalSeconds);
  setOption(fd, IPPROTO_TCP, TCP_KEEPCNT, kKeepProbes);
#endif
  return {fd, Kind::Other, {}};
}

}  // namespace solvard::serial::posix
