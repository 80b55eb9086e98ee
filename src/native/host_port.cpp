#include "native/host_port.hpp"

#include <algorithm>

#include "serial/port_errors.hpp"

namespace solvard {

Port::~Port() = default;

namespace detail {
namespace {

LineSettings publicSettings(const serial::LineSettings& line) {
  LineSettings settings;
  settings.baud = static_cast<uint32_t>(std::max<int32_t>(line.baudRate, 0));
  switch (line.parity) {
    case serial::Parity::None: settings.parity = Parity::none; break;
    case serial::Parity::Even: settings.parity = Parity::even; break;
    case serial::Parity::Odd: settings.parity = Parity::odd; break;
    case serial::Parity::Mark: settings.parity = Parity::mark; break;
    case serial::Parity::Space: settings.parity = Parity::space; break;
  }
  settings.dataBits = line.dataBits;
  settings.stopBits = line.stopBits;
  return settings;
}

serial::OpenFailure::Kind failureKind(Errc code) {
  using Kind = serial::OpenFailure::Kind;
  switch (code) {
    case Errc::port_not_found: return Kind::NotFound;
    case Errc::port_not_a_terminal: return Kind::NotATerminal;
    case Errc::port_permission_denied: return Kind::PermissionDenied;
    case Errc::port_in_use: return Kind::InUse;
    case Errc::port_settings_refused: return Kind::SettingsRefused;
    default: return Kind::Other;
  }
}

// The host's words for a failure, or the code's own sentence when it gave none.
std::string reasonOf(const Error& error) {
  return error.detail().empty() ? std::string(message(error.code())) : error.detail();
}

}  // namespace

HostPort::HostPort(std::string name, std::shared_ptr<Port> port)
    : PortBase(name), name_(std::move(name)), port_(std::move(port)) {}

HostPort::~HostPort() {
  if (open_) port_->close();
}

void HostPort::openDevice(const std::string&) {
  // Records the port's settings in settings_ (the device is not open yet, so nothing is
  // applied).
  (void)settingsRefusal();
  const Result<void> opened = port_->open(settings_);
  if (!opened) failOpen(failureKind(opened.error().code()), name_, reasonOf(opened.error()));
  open_ = true;
}

void HostPort::closeDevice() {
  port_->close();
  open_ = false;
}

// A host's port takes its settings as it opens, so new settings on an open port open it again
// with them; a refusal goes back to the settings it had.
std::optional<std::string> HostPort::applySettings(const serial::LineSettings& line) {
  const LineSettings wanted = publicSettings(line);
  if (!open_) {
    settings_ = wanted;
    return std::nullopt;
  }
  port_->close();
  if (const Result<void> reopened = port_->open(wanted); !reopened) {
    open_ = static_cast<bool>(port_->open(settings_));
    return reasonOf(reopened.error());
  }
  settings_ = wanted;
  return std::nullopt;
}

HostPort::Received HostPort::readWaiting(std::span<uint8_t> room) {
  const PortRead got = port_->read(room, std::chrono::milliseconds(0));
  return Received{std::min(got.count, room.size()), got.end == ReadEnd::closed};
}

void HostPort::writeBytes(std::span<const uint8_t> bytes) {
  if (const Result<void> written = port_->write(bytes); !written) {
    throw serial::port_errors::portIoFailed(name_ + ": " + reasonOf(written.error()));
  }
}

// The whole wait is the host's, on its own clock (maybe the line's test clock): the real time
// left before `deadline` does not count, so a wait in virtual time is the same however busy the
// machine is.
HostPort::WaitEnd HostPort::awaitInput(Clock::time_point, std::span<uint8_t> room,
                                       std::size_t& taken) {
  const PortRead got = port_->read(room, waitLimit());
  taken = std::min(got.count, room.size());
  return got.end == ReadEnd::closed && taken == 0 ? WaitEnd::Failed : WaitEnd::Over;
}

void HostPort::discardInput() { port_->discardInput(); }

}  // namespace detail
}  // namespace solvard
