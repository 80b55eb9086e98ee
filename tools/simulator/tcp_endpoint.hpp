#pragma once

#include <netinet/in.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace solvard::simulator {

// An IPv4 address and a port, as the simulator listens on them for hosts that reach the line
// over TCP instead of a serial port.
struct TcpEndpoint {
  in_addr address{};
  uint16_t port = 0;
};

// "ADDRESS:PORT": a dotted IPv4 address and a decimal port 0 to 65535 (0: the system picks one).
// Nothing else: no names, no IPv6, no signs or spaces.
std::optional<TcpEndpoint> parseTcpEndpoint(std::string_view text);
std::string endpointText(const TcpEndpoint& endpoint);

// A listening socket, non-blocking: clients are taken as they come, never waited for.
class TcpListener {
 public:
  TcpListener() = default;
  ~TcpListener();
  TcpListener(const TcpListener&) = delete;
  TcpListener& operator=(const TcpListener&) = delete;

  // Raises std::runtime_error naming the endpoint when it cannot be had (taken, not local).
  void open(const TcpEndpoint& endpoint);
  void close();
  int fd() const { return fd_; }
  bool isOpen() const { return fd_ >= 0; }
  // Where it listens, with the port the system chose for port 0.
  const TcpEndpoint& endpoint() const { return bound_; }

  // A client that is waiting, as a non-blocking socket, or -1 for none.
  int accept();

 private:
  int fd_ = -1;
  TcpEndpoint bound_;
};

// Writes all of `bytes` to a client socket, waiting for room at most `limit` in all. False when
// the client is gone or reads too slowly: the caller drops it rather than stall the line.
bool writeToClient(int fd, std::span<const uint8_t> bytes, std::chrono::milliseconds limit);

}  // namespace solvard::simulator
