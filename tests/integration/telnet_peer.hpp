#pragma once

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <vector>

// A device server played by the test on 127.0.0.1: it accepts the host's connections one at a
// time and reads and writes exact bytes, every wait bounded by two seconds.
namespace solvard::integration {

using PeerBytes = std::vector<uint8_t>;

class TestPeer {
 public:
  TestPeer() {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
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
    if (listener_ >= 0) ::close(listener_);
  }
  TestPeer(const TestPeer&) = delete;
  TestPeer& operator=(const TestPeer&) = delete;

  int port() const { return port_; }

  // Takes the next connection; false when none came in time.
  bool accept() {
    hangUp();
    pollfd ready{listener_, POLLIN, 0};
    if (::poll(&ready, 1, kLimitMs) <= 0) return false;
    client_ = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    return client_ >= 0;
  }

  // Exactly `count` bytes, or fewer if they did not come in time.
  PeerBytes read(std::size_t count) {
    PeerBytes got;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kLimitMs);
    while (got.size() < count && client_ >= 0) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      pollfd ready{client_, POLLIN, 0};
      if (left.count() <= 0 || ::poll(&ready, 1, static_cast<int>(left.count())) <= 0) break;
      uint8_t chunk[256];
      const ssize_t n = ::recv(client_, chunk, std::min(sizeof chunk, count - got.size()), 0);
      if (n <= 0) break;
      got.insert(got.end(), chunk, chunk + n);
    }
    return got;
  }

  void write(const PeerBytes& bytes) {
    if (client_ >= 0) (void)::send(client_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
  }

  void hangUp() {
    if (client_ >= 0) ::close(client_);
    client_ = -1;
  }

 private:
  static constexpr int kLimitMs = 2000;
  int listener_ = -1;
  int client_ = -1;
  int port_ = 0;
};

}  // namespace solvard::integration
