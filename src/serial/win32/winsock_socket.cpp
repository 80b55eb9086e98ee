// The network port's connection through Winsock.
#include <winsock2.h>

#include <algorithm>
#include <climits>

#include "serial/network_socket.hpp"
#include "serial/win32/win32_port.hpp"
#include "serial/win32/winsock_connect.hpp"

namespace solvard::serial {
namespace {

class WinsockSocket final : public NetworkSocket {
 public:
  ~WinsockSocket() override { close(); }

  std::optional<ConnectFailure> connect(const std::string& host, const std::string& port,
                                        TimePoint deadline) override {
    close();
    win32::WinsockConnection connection = win32::connectThroughWinsock(host, port, deadline);
    if (connection.socket == INVALID_SOCKET) {
      return ConnectFailure{connection.kind, std::move(connection.reason)};
    }
    socket_ = connection.socket;
    return std::nullopt;
  }

  void close() override {
    if (socket_ != INVALID_SOCKET) ::closesocket(socket_);
    socket_ = INVALID_SOCKET;
  }

  bool isOpen() const override { return socket_ != INVALID_SOCKET; }

  Transfer send(std::span<const uint8_t> bytes) override {
    const int size = static_cast<int>(std::min<std::size_t>(bytes.size(), INT_MAX));
    const int n = ::send(socket_, reinterpret_cast<const char*>(bytes.data()), size, 0);
    if (n >= 0) return {State::Done, static_cast<std::size_t>(n), {}};
    return failure();
  }

  Transfer receive(std::span<uint8_t> room) override {
    const int size = static_cast<int>(std::min<std::size_t>(room.size(), INT_MAX));
    const int n = ::recv(socket_, reinterpret_cast<char*>(room.data()), size, 0);
    if (n > 0) return {State::Done, static_cast<std::size_t>(n), {}};
    if (n == 0) return {State::Closed, 0, "the connection was closed"};
    return failure();
  }

  // Winsock has no hang-up of its own: a closed connection reads as readable, and a failed one
  // shows in the exception set.
  Readiness waitReadable(TimePoint deadline) override {
    fd_set input;
    fd_set failed;
    FD_ZERO(&input);
    FD_ZERO(&failed);
    FD_SET(socket_, &input);
    FD_SET(socket_, &failed);
    timeval left = win32::timeLeft(deadline);
    if (::select(0, &input, nullptr, &failed, &left) <= 0) return Readiness::TimedOut;
    return FD_ISSET(socket_, &input) ? Readiness::Readable : Readiness::HungUp;
  }

  bool waitWritable(TimePoint deadline) override {
    fd_set room;
    FD_ZERO(&room);
    FD_SET(socket_, &room);
    timeval left = win32::timeLeft(deadline);
    return ::select(0, nullptr, &room, nullptr, &left) > 0;
  }

 private:
  static Transfer failure() {
    const int error = WSAGetLastError();
    if (error == WSAEWOULDBLOCK) return {State::WouldBlock, 0, {}};
    return {State::Failed, 0, win32::systemMessage(static_cast<unsigned long>(error))};
  }

  SOCKET socket_ = INVALID_SOCKET;
};

}  // namespace

std::unique_ptr<NetworkSocket> makeNetworkSocket() { return std::make_unique<WinsockSocket>(); }

}  // namespace solvard::serial
