#pragma once

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <vector>

// A device server played by the test on 127.0.0.1: it accepts the host's connections one at a
// time and reads and writes exact bytes, every wait bounded by two seconds. The same on both
// platforms; only the few socket calls below differ.
namespace solvard::integration {

using PeerBytes = std::vector<uint8_t>;

namespace peer_socket {
#ifdef _WIN32
using Handle = SOCKET;
inline const Handle kNone = INVALID_SOCKET;
inline bool started() {
  static const bool ok = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return ok;
}
inline Handle open() { return started() ? ::socket(AF_INET, SOCK_STREAM, 0) : kNone; }
inline Handle accept(Handle listener) { return ::accept(listener, nullptr, nullptr); }
inline void close(Handle s) { ::closesocket(s); }
inline bool readable(Handle s, int ms) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(s, &set);
  timeval left{ms / 1000, (ms % 1000) * 1000};
  return ::select(0, &set, nullptr, nullptr, &left) > 0;
}
inline int receive(Handle s, uint8_t* into, std::size_t size) {
  return ::recv(s, reinterpret_cast<char*>(into), static_cast<int>(size), 0);
}
inline void send(Handle s, const PeerBytes& bytes) {
  (void)::send(s, reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size()), 0);
}
#else
using Handle = int;
inline constexpr Handle kNone = -1;
inline Handle open() { return ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0); }
inline Handle accept(Handle listener) {
  return ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
}
inline void close(Handle s) { ::close(s); }
inline bool readable(Handle s, int ms) {
  pollfd ready{s, POLLIN, 0};
  return ::poll(&ready, 1, ms) > 0;
}
inline int receive(Handle s, uint8_t* into, std::size_t size) {
  return static_cast<int>(::recv(s, into, size, 0));
}
inline void send(Handle s, const PeerBytes& bytes) {
  (void)::send(s, bytes.data(), bytes.size(), MSG_NOSIGNAL);
}
#endif
}  // namespace peer_socket

class TestPeer {
 public:
  TestPeer() {
    listener_ = peer_socket::open();
    if (listener_ == peer_socket::kNone) return;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
        ::listen(listener_, 4) == 0 &&
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
      port_ = ntohs(address.sin_port);
    }
  }
  ~TestPeer() {
    hangUp();
    if (listener_ != peer_socket::kNone) peer_socket::close(listener_);
  }
  TestPeer(const TestPeer&) = delete;
  TestPeer& operator=(const TestPeer&) = delete;

  int port() const { return port_; }

  // Takes the next connection; false when none came in time.
  bool accept() {
    hangUp();
    if (!peer_socket::readable(listener_, kLimitMs)) return false;
    client_ = peer_socket::accept(listener_);
    return client_ != peer_socket::kNone;
  }

  // Exactly `count` bytes, or fewer if they did not come in time.
  PeerBytes read(std::size_t count) {
    PeerBytes got;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kLimitMs);
    while (got.size() < count && client_ != peer_socket::kNone) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0 || !peer_socket::readable(client_, static_cast<int>(left.count()))) {
        break;
      }
      uint8_t chunk[256];
      const int n =
          peer_socket::receive(client_, chunk, std::min(sizeof chunk, count - got.size()));
      if (n <= 0) break;
      got.insert(got.end(), chunk, chunk + n);
    }
    return got;
  }

  void write(const PeerBytes& bytes) {
    if (client_ != peer_socket::kNone) peer_socket::send(client_, bytes);
  }

  void hangUp() {
    if (client_ != peer_socket::kNone) peer_socket::close(client_);
    client_ = peer_socket::kNone;
  }

 private:
  static constexpr int kLimitMs = 2000;
  peer_socket::Handle listener_ = peer_socket::kNone;
  peer_socket::Handle client_ = peer_socket::kNone;
  int port_ = 0;
};

}  // namespace solvard::integration
