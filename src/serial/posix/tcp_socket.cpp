// The network port's connection through POSIX sockets.
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "serial/network_socket.hpp"
#include "serial/posix/tcp_connect.hpp"

namespace solvard::serial {
namespace {

int millisecondsUntil(NetworkSocket::TimePoint deadline) {
  const auto left =
      std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
  return static_cast<int>(std::max<int64_t>(0, left.count()));
}

class PosixSocket final : public NetworkSocket {
 public:
  ~PosixSocket() override { close(); }

  std::optional<ConnectFailure> connect(const std::string& host, const std::string& port,
                                        TimePoint deadline) override {
    close();
    posix::Connection connection = posix::connectToServer(host, port, deadline);
    if (connection.fd < 0) return ConnectFailure{connection.kind, std::move(connection.reason)};
    fd_ = connection.fd;
    return std::nullopt;
  }

  void close() override {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

  bool isOpen() const override { return fd_ >= 0; }

  // A device server gone away must fail the send, not end the program with SIGPIPE.
  Transfer send(std::span<const uint8_t> bytes) override {
    for (;;) {
      const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
      if (n >= 0) return {State::Done, static_cast<std::size_t>(n), {}};
      if (errno == EINTR) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) return {State::WouldBlock, 0, {}};
      return {State::Failed, 0, std::strerror(errno)};
    }
  }

  Transfer receive(std::span<uint8_t> room) override {
    for (;;) {
      const ssize_t n = ::recv(fd_, room.data(), room.size(), MSG_DONTWAIT);
      if (n > 0) return {State::Done, static_cast<std::size_t>(n), {}};
      if (n == 0) return {State::Closed, 0, "the connection was closed"};
      if (errno == EINTR) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) return {State::WouldBlock, 0, {}};
      return {State::Failed, 0, std::strerror(errno)};
    }
  }

  Readiness waitReadable(TimePoint deadline) override {
    pollfd input{fd_, POLLIN, 0};
    const int ready = ::poll(&input, 1, millisecondsUntil(deadline));
    if (ready < 0 && errno == EINTR) return Readiness::Interrupted;
    if (ready <= 0) return Readiness::TimedOut;
    return (input.revents & POLLIN) != 0 ? Readiness::Readable : Readiness::HungUp;
  }

  bool waitWritable(TimePoint deadline) override {
    pollfd room{fd_, POLLOUT, 0};
    return ::poll(&room, 1, millisecondsUntil(deadline)) > 0;
  }

 private:
  int fd_ = -1;
};

}  // namespace

std::unique_ptr<NetworkSocket> makeNetworkSocket() { return std::make_unique<PosixSocket>(); }

}  // namespace solvard::serial
