#include "pg_proxy.hpp"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

namespace solvard::integration {
namespace {

bool sendAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t sent = ::send(fd, data, size, MSG_NOSIGNAL);
    if (sent <= 0) return false;
    data += sent;
    size -= static_cast<size_t>(sent);
  }
  return true;
}

uint32_t bigEndian(const std::string& bytes, size_t at) {
  uint32_t value = 0;
  for (size_t i = 0; i < 4; ++i) value = value << 8 | static_cast<uint8_t>(bytes[at + i]);
  return value;
}

// Whether a simple or extended query message's text holds `word` (the driver may wrap a
// statement in savepoints or a BEGIN, so it need not come first).
bool carries(char type, const std::string& body, const std::string& word) {
  if (type != 'Q' && type != 'P') return false;
  std::string text = body;
  if (type == 'P') text = body.substr(std::min(body.size(), body.find('\0') + 1));
  std::string upper;
  for (char c : text) upper += static_cast<char>(std::toupper(c));
  return upper.find(word) != std::string::npos;
}

}  // namespace

PgProxy::PgProxy(uint16_t serverPort) : serverPort_(serverPort) {
  listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
  ::listen(listener_, 8);
  ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this] { serve(); });
}

PgProxy::~PgProxy() {
  stop_ = true;
  thread_.join();
  ::close(listener_);
}

void PgProxy::serve() {
  // Each relay reads this proxy's flags, so none may outlive it: they end within one poll of
  // `stop_` and are joined here before the destructor goes on.
  std::vector<std::thread> relays;
  while (!stop_) {
    pollfd ready{listener_, POLLIN, 0};
    if (::poll(&ready, 1, 50) <= 0) continue;
    const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client >= 0 && down_) {
      ::close(client);
    } else if (client >= 0) {
      relays.emplace_back([this, client] { relay(client); });
    }
  }
  for (std::thread& relay : relays) relay.join();
}

PgProxy::Drop PgProxy::armedFor(const std::string& message) {
  std::lock_guard lock(mutex_);
  if (drop_ == Drop::kNever || !carries(message[0], message.substr(5), word_)) {
    return Drop::kNever;
  }
  return drop_.exchange(Drop::kNever);
}

void PgProxy::relay(int client) {
  const int server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(serverPort_);
  if (::connect(server, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    ::close(client);
    ::close(server);
    return;
  }
  // Messages go on as they come, as between the driver and the server themselves: with Nagle's
  // rule a small message would wait for the peer's delayed acknowledgement of the one before,
  // some 40 ms a statement.
  const int on = 1;
  ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  ::setsockopt(server, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  // Client bytes not yet forwarded whole; the first messages carry no type byte.
  std::string pending;
  bool started = false;
  bool open = true;
  while (open && !stop_ && !down_) {
    pollfd fds[2] = {{client, POLLIN, 0}, {server, POLLIN, 0}};
    if (::poll(fds, 2, 50) <= 0) continue;
    char buffer[8192];
    if (fds[1].revents != 0) {
      const ssize_t got = ::recv(server, buffer, sizeof buffer, 0);
      open = got > 0 && sendAll(client, buffer, static_cast<size_t>(got));
    }
    if (!open || fds[0].revents == 0) continue;
    const ssize_t got = ::recv(client, buffer, sizeof buffer, 0);
    if (got <= 0) break;
    pending.append(buffer, static_cast<size_t>(got));
    for (;;) {
      const size_t header = started ? 5 : 4;
      if (pending.size() < header) break;
      const size_t length = bigEndian(pending, started ? 1 : 0) + (started ? 1 : 0);
      if (pending.size() < length) break;
      const std::string message = pending.substr(0, length);
      pending.erase(0, length);
      if (!started) {
        // An SSL or encryption request is answered "no" by the server and followed by the real
        // start-up message, also without a type byte.
        const uint32_t code = bigEndian(message, 4);
        started = code != 80877103 && code != 80877104;
      } else if (const Drop drop = armedFor(message); drop != Drop::kNever) {
        if (drop == Drop::kAfterCommit) sendAll(server, message.data(), message.size());
        dropped_ = true;
        open = false;
        break;
      }
      if (!sendAll(server, message.data(), message.size())) open = false;
    }
  }
  if (dropped_ && !open) {
    // Let the server take what was forwarded before its client goes.
    ::usleep(100000);
  }
  ::close(client);
  ::close(server);
}

}  // namespace solvard::integration
