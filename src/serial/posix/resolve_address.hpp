#pragma once

#include <sys/socket.h>

#include <chrono>
#include <string>
#include <vector>

namespace solvard::serial::posix {

struct SocketAddress {
  int family = 0;
  int type = 0;
  int protocol = 0;
  sockaddr_storage address{};
  socklen_t length = 0;
};

struct Resolution {
  std::vector<SocketAddress> addresses;
  // getaddrinfo's code when it failed (0 when it gave addresses or ran out of time).
  int code = 0;
  std::string reason;
  bool timedOut = false;
};

// The addresses of `host` for a TCP connection to `port`, waiting at most until `deadline`: the
// system's resolver can wait far longer on a name server that does not answer, so it runs on a
// thread of its own that is left to finish alone when the time is up.
Resolution resolveAddress(const std::string& host, const std::string& port,
                          std::chrono::steady_clock::time_point deadline);

}  // namespace solvard::serial::posix
