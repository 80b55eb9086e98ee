#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

// A host's side of a simulated line, as bytes: the pseudo-terminal a link names, or a TCP
// connection. Every wait is bounded.
namespace solvard::tool::testing {

using Bytes = std::vector<uint8_t>;

// The pseudo-terminal at `path`, raw and non-blocking; -1 if it cannot be opened.
inline int openLine(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return -1;
  termios tio{};
  ::tcgetattr(fd, &tio);
  ::cfmakeraw(&tio);
  ::tcsetattr(fd, TCSANOW, &tio);
  return fd;
}

// A connection to 127.0.0.1:`port`; -1 if refused.
inline int connectTo(uint16_t port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in at{};
  at.sin_family = AF_INET;
  at.sin_port = htons(port);
  at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&at), sizeof at) != 0) {
    ::close(fd);
    return -1;
  }
  // Each write leaves at once, as bytes on a serial line do: a frame written in two pieces must
  // not wait for an acknowledgement longer than the simulator's gap between frames.
  const int yes = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
  ::fcntl(fd, F_SETFL, O_NONBLOCK);
  return fd;
}

inline void sendBytes(int fd, const Bytes& bytes) {
  [[maybe_unused]] const ssize_t n = ::write(fd, bytes.data(), bytes.size());
}

// What arrives within `limit`, stopping early once `expected` bytes came; a reply longer than
// expected shows as the extra bytes that came with it.
inline Bytes receive(int fd, std::size_t expected,
                     std::chrono::milliseconds limit = std::chrono::seconds(3)) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  Bytes got;
  while (got.size() < expected && std::chrono::steady_clock::now() < deadline) {
    pollfd ready{fd, POLLIN, 0};
    if (::poll(&ready, 1, 50) <= 0) continue;
    uint8_t chunk[64];
    const ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n == 0) break;
    if (n > 0) got.insert(got.end(), chunk, chunk + n);
  }
  return got;
}

inline Bytes exchange(int fd, const Bytes& frame, std::size_t replyLength) {
  sendBytes(fd, frame);
  return receive(fd, replyLength);
}

}  // namespace solvard::tool::testing
