#include "serial/tcp_port.hpp"

#include <algorithm>

#include "serial/network_address.hpp"
#include "serial/port_errors.hpp"

namespace solvard::serial {
namespace {

// Output waits this long at most for room in the socket's send queue.
constexpr std::chrono::seconds kOutputLimit{2};

// Emptying the receive buffer reads and drops at most this many buffers' worth, so a line
// that never falls quiet cannot keep the command there.
constexpr int kDiscardRounds = 16;

// One look at the socket takes at most this many bytes off it, whatever they carry. Telnet
// commands (a flood of NOPs, say) carry no data for the receive buffer, so without this a
// device server that never stops sending them would keep the host reading and never let a
// reply wait look at its clock.
constexpr std::size_t kMostBytesPerLook = 16 * 1024;

}  // namespace

TcpPort::~TcpPort() { PortOpen(false); }

void TcpPort::openDevice(const std::string& text) {
  using Kind = OpenFailure::Kind;
  const auto address = parseNetworkAddress(text);
  if (!address) failOpen(Kind::NotFound, text, "not a network address (tcp://host:port)");
  const auto refused = socket_->connect(address->host, address->port, Clock::now() + kConnectLimit);
  if (refused) failOpen(refused->kind, text, refused->reason);

  dropped_ = false;
  address_ = text;
  comPort_ = address->mode == NetworkAddress::Mode::ComPort;
  telnet_ = telnet::Session{};
  pending_.clear();
  if (!comPort_) return;
  std::optional<std::string> refusal = agreeComPort();
  if (!refusal) refusal = settingsRefusal();
  if (refusal) {
    // A server that dropped the connection refused no setting: the line is just not there.
    const Kind kind = dropped_ ? Kind::Other : Kind::SettingsRefused;
    closeDevice();
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
  } catch (const detail::Fault& failed) {
    closeDevice();
    failOpen(Kind::Other, text, failed.description());
  }
  pending_.clear();
}

std::optional<std::string> TcpPort::agreeComPort() {
  try {
    sendAll(telnet_.opening());
    const auto deadline = Clock::now() + kNegotiationLimit;
    while (!telnet_.comPortAgreed() && negotiateUntil(deadline)) {
    }
  } catch (const detail::Fault& failed) {
    return failed.description();
  }
  if (!telnet_.comPortAgreed()) {
    return dropped_ ? "the device server closed the connection"
                    : "the device server did not answer the COM-PORT-OPTION";
  }
  if (!*telnet_.comPortAgreed()) return "the device server refuses the COM-PORT-OPTION";
  return std::nullopt;
}

std::optional<std::string> TcpPort::applySettings(const LineSettings& line) {
  if (!comPort_) return std::nullopt;
  // Nothing is sent on a connection known to be gone, nor waited for.
  if (dropped_) return "the device server closed the connection";
  const auto deadline = Clock::now() + kNegotiationLimit;
  telnet_.clearConfirmed();
  sendAll(telnet::lineSettings(line));
  const auto& confirmed = telnet_.confirmed();
  const auto complete = [&] {
    return confirmed.baudRate && confirmed.dataBits && confirmed.parity && confirmed.stopBits;
  };
  while (!complete() && negotiateUntil(deadline)) {
  }
  if (!complete()) {
    return dropped_ ? "the device server closed the connection"
                    : "the device server did not confirm the line settings";
  }
  if (*confirmed.baudRate != static_cast<uint32_t>(line.baudRate)) {
    return "the device server set " + std::to_string(*confirmed.baudRate) + " baud, not " +
           std::to_string(line.baudRate);
  }
  if (*confirmed.dataBits != line.dataBits ||
      *confirmed.parity != telnet::parityCode(line.parity) ||
      *confirmed.stopBits != line.stopBits) {
    return "the device server did not take the data bits, parity and stop bits";
  }
  return std::nullopt;
}

void TcpPort::closeDevice() {
  if (!socket_->isOpen()) return;
  socket_->close();
  dropped_ = false;
  pending_.clear();
}

bool TcpPort::negotiateUntil(Clock::time_point deadline) {
  const std::size_t capacity = static_cast<std::size_t>(inBufferSize());
  if (dropped_ || pending_.size() >= capacity) return false;
  using Readiness = NetworkSocket::Readiness;
  const Readiness ready = socket_->waitReadable(deadline);
  if (ready == Readiness::Interrupted) return true;
  if (ready == Readiness::TimedOut) return false;
  pull(capacity);
  return !dropped_;
}

void TcpPort::pull(std::size_t capacity) {
  uint8_t chunk[512];
  std::size_t looked = 0;
  while (!dropped_ && pending_.size() < capacity && looked < kMostBytesPerLook) {
    // Telnet never makes data longer on the way in, so what is read fits the room left.
    const std::size_t want = std::min(sizeof chunk, capacity - pending_.size());
    const NetworkSocket::Transfer read = socket_->receive(std::span(chunk, want));
    if (read.state == NetworkSocket::State::Done) {
      looked += read.count;
      const std::span<const uint8_t> got(chunk, read.count);
      if (!comPort_) {
        pending_.insert(pending_.end(), got.begin(), got.end());
        continue;
      }
      Bytes reply;
      telnet_.receive(got, pending_, reply);
      if (!reply.empty()) sendAll(reply);
      continue;
    }
    if (read.state != NetworkSocket::State::WouldBlock) dropped_ = true;
    return;
  }
}

TcpPort::Received TcpPort::readWaiting(std::span<uint8_t> room) {
  pull(room.size());
  Received got;
  got.count = std::min(pending_.size(), room.size());
  std::copy_n(pending_.begin(), got.count, room.begin());
  pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(got.count));
  got.failed = dropped_ && pending_.empty();
  return got;
}

void TcpPort::sendAll(std::span<const uint8_t> bytes) {
  const auto deadline = Clock::now() + kOutputLimit;
  std::size_t done = 0;
  while (done < bytes.size()) {
    const NetworkSocket::Transfer sent = socket_->send(bytes.subspan(done));
    if (sent.state == NetworkSocket::State::Done && sent.count > 0) {
      done += sent.count;
      continue;
    }
    if (sent.state == NetworkSocket::State::Failed || sent.state == NetworkSocket::State::Closed) {
      dropped_ = true;
      throw port_errors::portIoFailed(address_ + ": " + sent.reason);
    }
    if (!socket_->waitWritable(deadline)) {
      throw port_errors::portIoFailed(address_ + ": send queue full");
    }
  }
}

// The whole frame goes to the socket in one write, escaped as one piece.
void TcpPort::writeBytes(std::span<const uint8_t> bytes) {
  if (dropped_) throw port_errors::portIoFailed(address_ + ": the connection was closed");
  if (comPort_) {
    sendAll(telnet_.send(bytes));
  } else {
    sendAll(bytes);
  }
}

// The socket tells of input without taking it: nothing goes into the room. A wait that ends
// otherwise than by hang-up or error (a signal) also ends the wait, as callers wait in loops.
TcpPort::WaitEnd TcpPort::awaitInput(Clock::time_point deadline, std::span<uint8_t>, std::size_t&) {
  if (!pending_.empty()) return WaitEnd::Over;
  if (dropped_) return WaitEnd::Failed;
  if (socket_->waitReadable(deadline) != NetworkSocket::Readiness::HungUp) return WaitEnd::Over;
  // Closed or failed without data: polling again would return at once.
  dropped_ = true;
  return WaitEnd::Failed;
}

// What has come already is read and dropped (its negotiation still answered); what the device
// server still holds from the terminals it drops itself.
void TcpPort::discardInput() {
  const std::size_t capacity = static_cast<std::size_t>(inBufferSize());
  for (int round = 0; round < kDiscardRounds; ++round) {
    pending_.clear();
    pull(capacity);
    if (pending_.empty()) break;
  }
  pending_.clear();
  if (comPort_) sendAll(telnet::purgeData(telnet::Purge::Receive));
}

// Frames leave the host at once; only the device server's queue to the line can be waiting.
void TcpPort::discardOutput() {
  if (comPort_) sendAll(telnet::purgeData(telnet::Purge::Transmit));
}

}  // namespace solvard::serial
