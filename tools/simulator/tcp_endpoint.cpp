#include "tcp_endpoint.hpp"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <stdexcept>

namespace solvard::simulator {
namespace {

using Clock = std::chrono::steady_clock;

// "255.255.255.255" is the longest dotted address.
constexpr std::size_t kLongestAddress = 15;

}  // namespace

std::optional<TcpEndpoint> parseTcpEndpoint(std::string_view text) {
  const std::size_t colon = text.rfind(':');
  if (colon == std::string_view::npos) return std::nullopt;
  const std::string_view address = text.substr(0, colon);
  const std::string_view port = text.substr(colon + 1);
  if (address.empty() || address.size() > kLongestAddress || port.empty() || port.size() > 5) {
    return std::nullopt;
  }
  for (char c : port) {
    if (c < '0' || c > '9') return std::nullopt;
  }
  unsigned value = 0;
  auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), value);
  if (error != std::errc() || end != port.data() + port.size() || value > 65535) {
    return std::nullopt;
  }
  TcpEndpoint endpoint;
  // inet_pton takes only four dotted decimal parts, unlike inet_aton's older forms.
  if (::inet_pton(AF_INET, std::string(address).c_str(), &endpoint.address) != 1) {
    return std::nullopt;
  }
  endpoint.port = static_cast<uint16_t>(value);
  return endpoint;
}

std::string endpointText(const TcpEndpoint& endpoint) {
  char address[INET_ADDRSTRLEN] = {};
  ::inet_ntop(AF_INET, &endpoint.address, address, sizeof address);
  return std::string(address) + ":" + std::to_string(endpoint.port);
}

TcpListener::~TcpListener() { close(); }

void TcpListener::open(const TcpEndpoint& endpoint) {
  close();
  auto fail = [&](const char* step) {
    const std::string reason = std::strerror(errno);
    close();
    throw std::runtime_error("simulator: cannot listen on " + endpointText(endpoint) + ": " + step +
                             ": " + reason);
  };
  fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd_ < 0) fail("socket");
  // A simulator started again at once takes its port back from the connections the last one
  // left in TIME_WAIT.
  const int yes = 1;
  ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in at{};
  at.sin_family = AF_INET;
  at.sin_addr = endpoint.address;
  at.sin_port = htons(endpoint.port);
  if (::bind(fd_, reinterpret_cast<const sockaddr*>(&at), sizeof at) != 0) fail("bind");
  if (::listen(fd_, 8) != 0) fail("listen");
  socklen_t length = sizeof at;
  if (::getsockname(fd_, reinterpret_cast<sockaddr*>(&at), &length) != 0) fail("getsockname");
  bound_.address = at.sin_addr;
  bound_.port = ntohs(at.sin_port);
}

void TcpListener::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

int TcpListener::accept() {
  if (fd_ < 0) return -1;
  const int client = ::accept4(fd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
  if (client < 0) return -1;
  // Replies are a few bytes each: they go out at once, as they would on a serial line.
  const int yes = 1;
  ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
  return client;
}

bool writeToClient(int fd, std::span<const uint8_t> bytes, std::chrono::milliseconds limit) {
  const auto deadline = Clock::now() + limit;
  std::size_t done = 0;
  while (done < bytes.size()) {
    // MSG_NOSIGNAL: a client that went away is an error here, not SIGPIPE for the process.
    const ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return false;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return false;
    pollfd room{fd, POLLOUT, 0};
    if (::poll(&room, 1, static_cast<int>(left)) < 0 && errno != EINTR) return false;
  }
  return true;
}

}  // namespace solvard::simulator
