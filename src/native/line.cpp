#include <cstdio>

#include "native/line_impl.hpp"
#include "serial/port_devices.hpp"
#include "serial/port_errors.hpp"
#include "serial/shared_port.hpp"
#include "serial/tracing_port.hpp"
#include "solvard/version.hpp"

namespace solvard {
namespace {

char parityLetter(Parity parity) {
  switch (parity) {
    case Parity::none: return 'N';
    case Parity::even: return 'E';
    case Parity::odd: return 'O';
    case Parity::mark: return 'M';
    case Parity::space: return 'S';
  }
  return 'N';
}

// The host's clock as the reply waits read it.
class HostClock final : public serial::Clock {
 public:
  explicit HostClock(std::shared_ptr<solvard::Clock> clock) : clock_(std::move(clock)) {}
  std::chrono::nanoseconds now() override { return clock_->now(); }

 private:
  std::shared_ptr<solvard::Clock> clock_;
};

// Any port number names the line's one device; 1 is one the port takes.
constexpr int16_t kAnyPortNumber = 1;

}  // namespace

const char* version() { return "1.0"; }

Result<Device> Device::port(int number) {
  if (number < 1 || number > 255) {
    return Error(Errc::invalid_value, "port number " + std::to_string(number) + " is not 1 to 255");
  }
  return Device(serial::platformPortDevice(static_cast<int16_t>(number)));
}

Line::Impl::Impl(Device device_, LineSettings settings_, LineHooks hooks_)
    : device(std::move(device_)), settings(settings_), hooks(std::move(hooks_)) {
  state.device = device.name();
  state.endOnOpenFailure = true;
  const std::string name = device.name();
  state.makePort = [this, name]() -> std::unique_ptr<serial::PortControl> {
    auto port = serial::makePlatformPort(name);
    if (!byteTrace) return port;
    return std::make_unique<serial::TracingPort>(
        std::move(port), [this](serial::TraceDirection way, std::span<const uint8_t> bytes) {
          if (byteTrace) {
            byteTrace(
                way == serial::TraceDirection::sent ? ByteDirection::sent : ByteDirection::received,
                bytes);
          }
        });
  };
  state.settings.portNumber = kAnyPortNumber;
  state.settings.settingsText =
      std::to_string(settings.baud) + "," + parityLetter(settings.parity) + "," +
      std::to_string(settings.dataBits) + "," + std::to_string(settings.stopBits);
  state.hooks.pump = hooks.pump;
  state.hooks.stopRequested = hooks.stopRequested;
  state.hooks.reporter = [this](int32_t number) { notes.messages.push_back(number); };
}

Result<Line> Line::make(Device device, LineSettings settings, LineHooks hooks) {
  if (device.name().empty()) return Error(Errc::invalid_value, "no device named");
  if (settings.baud == 0 || settings.baud > 4'000'000) {
    return Error(Errc::invalid_value,
                 "baud rate " + std::to_string(settings.baud) + " is not 1 to 4000000");
  }
  if (settings.dataBits != 7 && settings.dataBits != 8) {
    return Error(Errc::invalid_value, std::to_string(settings.dataBits) + " data bits: 7 or 8");
  }
  if (settings.stopBits != 1 && settings.stopBits != 2) {
    return Error(Errc::invalid_value, std::to_string(settings.stopBits) + " stop bits: 1 or 2");
  }
  return Line(std::make_unique<Impl>(std::move(device), settings, std::move(hooks)));
}

Line::Line(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Line::~Line() = default;
Line::Line(Line&&) noexcept = default;
Line& Line::operator=(Line&&) noexcept = default;

const Device& Line::device() const { return impl_->device; }
const LineSettings& Line::settings() const { return impl_->settings; }

void Line::setClock(std::shared_ptr<Clock> clock) {
  impl_->clock = std::move(clock);
  if (impl_->clock) {
    impl_->state.hooks.clock = nullptr;
    impl_->hostClock = std::make_unique<HostClock>(impl_->clock);
    impl_->state.hooks.clock = impl_->hostClock.get();
  } else {
    impl_->state.hooks.clock = nullptr;
    impl_->hostClock.reset();
  }
}

void Line::setWaitSlice(std::chrono::milliseconds slice) { impl_->state.hooks.slice = slice; }

void Line::setByteTrace(ByteTrace trace) {
  impl_->byteTrace = std::move(trace);
  // The port is made again at its next opening, with or without the trace around it; one left
  // open by a download keeps its own until the next command closes it.
  if (impl_->state.port && !impl_->state.port->PortOpen()) impl_->state.port.reset();
}

bool CommandNotes::said(int32_t message) const {
  for (const int32_t m : messages) {
    if (m == message) return true;
  }
  return false;
}

std::string CommandNotes::logText() const {
  std::string text;
  for (const std::string& line : log) {
    if (!text.empty()) text += "; ";
    text += line;
  }
  return text;
}

void Line::Impl::noteLog(const std::string& line) {
  notes.log.push_back(line);
  if (hooks.log) hooks.log(line);
}

std::optional<Error> Line::Impl::portFailure() const {
  if (!state.port) return std::nullopt;
  const auto failure = state.port->openFailure();
  if (!failure) return std::nullopt;
  using Kind = serial::OpenFailure::Kind;
  Errc code = Errc::port_failed;
  switch (failure->kind) {
    case Kind::NotFound: code = Errc::port_not_found; break;
    case Kind::NotATerminal: code = Errc::port_not_a_terminal; break;
    case Kind::PermissionDenied: code = Errc::port_permission_denied; break;
    case Kind::InUse: code = Errc::port_in_use; break;
    case Kind::SettingsRefused: code = Errc::port_settings_refused; break;
    case Kind::Other: break;
  }
  return Error(code, failure->device + ": " + failure->reason);
}

Error Line::Impl::raised(const automation::AutomationError& error) const {
  if (error.number() == serial::port_errors::kPortUnavailable) {
    if (auto failure = portFailure()) return *failure;
  }
  if (error.number() == automation::errors::kInvalidPropertyValue) {
    return Error(Errc::port_settings_refused, device.name() + ": " + error.description());
  }
  return Error(Errc::port_failed, device.name() + ": " + error.description());
}

Error Line::Impl::exchangeFailure(uint8_t machine, const std::string& what) const {
  const serial::LinkTrace& trace = state.trace;
  const std::string terminal = "terminal " + std::to_string(machine);
  const std::string sent =
      trace.lastFrame.empty() ? std::string() : " after " + hexBytes(trace.lastFrame);
  if (trace.timedOut) {
    const std::string counted = std::to_string(trace.arrived) + " of " +
                                std::to_string(trace.awaited) + " bytes of the " + what + " came" +
                                sent;
    if (trace.arrived == 0) return Error(Errc::no_reply, terminal + ": " + counted);
    return Error(Errc::reply_incomplete, terminal + ": " + counted);
  }
  if (!trace.lastRead.empty() && trace.lastRead.front() != machine) {
    return Error(Errc::wrong_machine, terminal + ": the " + what + " came from machine " +
                                          std::to_string(trace.lastRead.front()) + " (" +
                                          hexBytes(trace.lastRead) + ")" + sent);
  }
  return Error(Errc::unexpected_reply,
               terminal + ": the " + what + " was " + hexBytes(trace.lastRead) + sent);
}

serial::PortSetup Line::Impl::portSetup() const { return state.settings; }

std::string hexBytes(const std::vector<uint8_t>& bytes) {
  std::string text;
  for (const uint8_t byte : bytes) {
    char pair[4];
    std::snprintf(pair, sizeof pair, "%02X", byte);
    if (!text.empty()) text += ' ';
    text += pair;
  }
  return text.empty() ? "nothing" : text;
}

}  // namespace solvard
