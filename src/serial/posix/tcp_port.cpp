#include "serial/posix/tcp_port.hpp"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <thread>
#include <utility>

#include "automation/error.hpp"
#include "serial/network_address.hpp"
#include "serial/port_devices.hpp"
#include "serial/port_errors.hpp"
#include "serial/posix/tcp_connect.hpp"

namespace solvard::serial::posix {
namespace {

using SteadyClock = std::chrono::steady_clock;

std::string systemError(int error) { return std::strerror(error); }

// Output waits this long at most for room in the socket's send queue.
constexpr std::chrono::seconds kOutputLimit{2};

int millisecondsUntil(SteadyClock::time_point deadline) {
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now());
  return static_cast<int>(std::max<int64_t>(0, left.count()));
}

}  // namespace

TcpPort::TcpPort() = default;

TcpPort::TcpPort(std::string address) : address_(std::move(address)) {}

TcpPort::~TcpPort() {
  if (fd_ >= 0) close();
}

void TcpPort::failOpen(OpenFailure::Kind kind, const std::string& address,
                       const std::string& reason) {
  openFailure_ = OpenFailure{kind, address, reason};
  throw port_errors::portUnavailable(address + ": " + reason);
}

void TcpPort::requireOpen() const {
  if (fd_ < 0) throw port_errors::portNotOpen();
}

void TcpPort::requireClosed() const {
  if (fd_ >= 0) throw port_errors::portAlreadyOpen();
}

void TcpPort::PortOpen(bool open) {
  if (open) {
    requireClosed();
    this->open();
  } else if (fd_ >= 0) {
    close();
  }
}

void TcpPort::open() {
  using Kind = OpenFailure::Kind;
  const std::string text = address_.empty() ? portDevicePath(portNumber_) : address_;
  const auto address = parseNetworkAddress(text);
  if (!address) failOpen(Kind::NotFound, text, "not a network address (tcp://host:port)");
  const auto deadline = SteadyClock::now() + kConnectLimit;

  const Connection connection = connectToServer(address->host, address->port, deadline);
  if (connection.fd < 0) failOpen(connection.kind, text, connection.reason);
  fd_ = connection.fd;
  hungUp_ = false;
  openAddress_ = text;
  comPort_ = address->mode == NetworkAddress::Mode::ComPort;
  telnet_ = telnet::Session{};
  buffer_.clear();
  if (!comPort_) {
    openFailure_.reset();
    return;
  }
  std::optional<std::string> refusal;
  try {
    sendAll(telnet_.opening());
    const auto agreed = SteadyClock::now() + kNegotiationLimit;
    while (!telnet_.comPortAgreed() && readUntil(agreed)) {
    }
    if (!telnet_.comPortAgreed()) {
      refusal = hungUp_ ? "the device server closed the connection"
                        : "the device server did not answer the COM-PORT-OPTION";
    } else if (!*telnet_.comPortAgreed()) {
      refusal = "the device server refuses the COM-PORT-OPTION";
    } else {
      refusal = applyLine(SteadyClock::now() + kNegotiationLimit);
    }
  } catch (const automation::AutomationError& failed) {
    refusal = failed.description();
  }
  if (refusal) {
    // A server that dropped the connection refused no setting: the line is just not there.
    const Kind kind = hungUp_ ? Kind::Other : Kind::SettingsRefused;
    close();
    failOpen(kind, text, *refusal);
  }
  // As on a local port: bytes the device server holds from before belong to no exchange of
  // ours. DTR on, RTS off, no flow control.
  Bytes setup = telnet::setControl(telnet::kControlNoFlow);
  for (const uint8_t value : {telnet::kControlDtrOn, telnet::kControlRtsOff}) {
    const Bytes control = telnet::setControl(value);
    setup.insert(setup.end(), control.begin(), control.end());
  }
  const Bytes purge = telnet::purgeData(telnet::Purge::Receive);
  setup.insert(setup.end(), purge.begin(), purge.end());
  try {
    sendAll(setup);
  } catch (const automation::AutomationError& failed) {
    close();
    failOpen(Kind::Other, text, failed.description());
  }
  buffer_.clear();
  openFailure_.reset();
}

std::optional<std::string> TcpPort::applyLine(SteadyClock::time_point deadline) {
  telnet_.clearConfirmed();
  sendAll(telnet::lineSettings(line_));
  const auto complete = [&] {
    const auto& line = telnet_.confirmed();
    return line.baudRate && line.dataBits && line.parity && line.stopBits;
  };
  while (!complete() && readUntil(deadline)) {
  }
  const auto& line = telnet_.confirmed();
  if (!complete()) {
    return hungUp_ ? "the device server closed the connection"
                   : "the device server did not confirm the line settings";
  }
  if (*line.baudRate != static_cast<uint32_t>(line_.baudRate)) {
    return "the device server set " + std::to_string(*line.baudRate) + " baud, not " +
           std::to_string(line_.baudRate);
  }
  if (*line.dataBits != line_.dataBits || *line.parity != telnet::parityCode(line_.parity) ||
      *line.stopBits != line_.stopBits) {
    return "the device server did not take the data bits, parity and stop bits";
  }
  return std::nullopt;
}

void TcpPort::close() {
  ::close(fd_);
  fd_ = -1;
  hungUp_ = false;
  buffer_.clear();
}

bool TcpPort::readUntil(SteadyClock::time_point deadline) {
  if (hungUp_) return false;
  pollfd input{fd_, POLLIN, 0};
  const int ready = ::poll(&input, 1, millisecondsUntil(deadline));
  if (ready < 0 && errno == EINTR) return true;
  if (ready <= 0) return false;
  drain();
  return !hungUp_;
}

void TcpPort::drain() {
  uint8_t chunk[512];
  const std::size_t capacity = static_cast<std::size_t>(inBufferSize_);
  while (!hungUp_ && buffer_.size() < capacity) {
    // Telnet never makes data longer on the way in, so what is read fits the room left.
    const std::size_t want = std::min(sizeof chunk, capacity - buffer_.size());
    const ssize_t n = ::recv(fd_, chunk, want, MSG_DONTWAIT);
    if (n > 0) {
      if (!comPort_) {
        buffer_.insert(buffer_.end(), chunk, chunk + n);
        continue;
      }
      Bytes reply;
      telnet_.receive(std::span<const uint8_t>(chunk, static_cast<std::size_t>(n)), buffer_, reply);
      if (!reply.empty()) sendAll(reply);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) hungUp_ = true;
    return;
  }
}

void TcpPort::sendAll(std::span<const uint8_t> bytes) {
  const auto deadline = SteadyClock::now() + kOutputLimit;
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n =
        ::send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
      hungUp_ = true;
      throw port_errors::portIoFailed(openAddress_ + ": " + systemError(errno));
    }
    pollfd room{fd_, POLLOUT, 0};
    if (::poll(&room, 1, millisecondsUntil(deadline)) <= 0) {
      throw port_errors::portIoFailed(openAddress_ + ": send queue full");
    }
  }
}

void TcpPort::CommPort(int16_t number) {
  requireClosed();
  checkPortNumber(number);
  portNumber_ = number;
}

// Over raw TCP the device server's own configuration sets the line, so the text is only kept;
// with the COM-PORT-OPTION an open port sends it at once and keeps the old one if refused.
void TcpPort::Settings(const std::string& text) {
  const LineSettings line = parseSettings(text);
  if (fd_ < 0 || !comPort_) {
    line_ = line;
    return;
  }
  const LineSettings previous = std::exchange(line_, line);
  const auto refusal = applyLine(SteadyClock::now() + kNegotiationLimit);
  if (!refusal) return;
  line_ = previous;
  throw automation::AutomationError(automation::errors::kInvalidPropertyValue,
                                    "Invalid property value: " + *refusal);
}

void TcpPort::InBufferSize(int16_t size) {
  requireClosed();
  checkBufferSize(size);
  inBufferSize_ = size;
}

void TcpPort::OutBufferSize(int16_t size) {
  requireClosed();
  checkBufferSize(size);
  outBufferSize_ = size;
}

void TcpPort::InputMode(int16_t mode) { checkInputMode(mode); }

int TcpPort::InBufferCount() {
  requireOpen();
  drain();
  return static_cast<int>(buffer_.size());
}

void TcpPort::InBufferCount(int count) {
  if (count != 0) throw automation::errors::invalidPropertyValue();
  requireOpen();
  // What has come already is read and dropped (its negotiation still answered); what the
  // device server still holds from the terminals it drops itself.
  // Bounded, so a line that never falls quiet cannot keep the command here.
  for (int round = 0; round < 16; ++round) {
    buffer_.clear();
    drain();
    if (buffer_.empty()) break;
  }
  buffer_.clear();
  if (comPort_) sendAll(telnet::purgeData(telnet::Purge::Receive));
}

void TcpPort::OutBufferCount(int count) {
  if (count != 0) throw automation::errors::invalidPropertyValue();
  requireOpen();
  // Frames leave the host at once; only the device server's queue to the line can be waiting.
  if (comPort_) sendAll(telnet::purgeData(telnet::Purge::Transmit));
}

void TcpPort::InputLen(int length) {
  if (length < 0) throw automation::errors::invalidPropertyValue();
  inputLen_ = length;
}

Bytes TcpPort::Input() {
  requireOpen();
  drain();
  const std::size_t n =
      inputLen_ == 0 ? buffer_.size() : std::min<std::size_t>(inputLen_, buffer_.size());
  Bytes taken(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(n));
  buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(n));
  return taken;
}

void TcpPort::Output(std::span<const uint8_t> bytes) {
  requireOpen();
  if (hungUp_) throw port_errors::portIoFailed(openAddress_ + ": the connection was closed");
  // The whole frame goes to the socket in one write, escaped as one piece.
  if (comPort_) {
    sendAll(telnet_.send(bytes));
  } else {
    sendAll(bytes);
  }
}

void TcpPort::waitForInput(std::chrono::milliseconds limit) {
  const auto deadline = SteadyClock::now() + limit;
  const bool full = buffer_.size() >= static_cast<std::size_t>(inBufferSize_);
  if (fd_ >= 0 && !hungUp_ && !full) {
    pollfd input{fd_, POLLIN, 0};
    const int ready = ::poll(&input, 1, static_cast<int>(limit.count()));
    if (ready <= 0 || (input.revents & POLLIN) != 0) return;
    // Closed or failed without data: polling again would return at once, so sleep instead.
    hungUp_ = true;
  }
  std::this_thread::sleep_until(deadline);
}

}  // namespace solvard::serial::posix
