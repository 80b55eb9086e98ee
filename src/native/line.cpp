#include <algorithm>
#include <cstdio>

#include "native/host_port.hpp"
#include "native/kept_store.hpp"
#include "native/line_core.hpp"
#include "serial/line_errors.hpp"
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

detail::LineCore::LineCore(Device device_, LineSettings settings_, LineHooks hooks_,
                           std::shared_ptr<Port> hostPort_)
    : device(std::move(device_)),
      settings(settings_),
      hooks(std::move(hooks_)),
      hostPort(std::move(hostPort_)) {
  state.device = device.name();
  state.endOnOpenFailure = true;
  const std::string name = device.name();
  state.makePort = [this, name]() -> std::unique_ptr<serial::PortControl> {
    std::unique_ptr<serial::PortControl> port;
    if (hostPort) {
      port = std::make_unique<HostPort>(name, hostPort);
    } else {
      port = serial::makePlatformPort(name);
    }
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
  state.hooks.notify = [this](serial::Notice notice) { notes.notices.push_back(notice); };
  state.log = [this](const std::string& line) { noteLog(line); };
  state.progress = hooks.progress;
}

namespace {

// Why a line cannot have `settings`, if it cannot.
std::optional<Error> settingsProblem(const LineSettings& settings) {
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
  return std::nullopt;
}

}  // namespace

Result<Line> Line::make(Device device, LineSettings settings, LineHooks hooks) {
  if (device.name().empty()) return Error(Errc::invalid_value, "no device named");
  if (auto problem = settingsProblem(settings)) return *problem;
  return Line(std::make_unique<detail::LineCore>(std::move(device), settings, std::move(hooks)));
}

Result<Line> Line::fromPort(std::string name, std::unique_ptr<Port> port, LineSettings settings,
                            LineHooks hooks) {
  if (name.empty()) return Error(Errc::invalid_value, "no name for the port");
  if (!port) return Error(Errc::invalid_value, name + ": no port given");
  if (auto problem = settingsProblem(settings)) return *problem;
  return Line(std::make_unique<detail::LineCore>(Device::path(std::move(name)), settings,
                                                 std::move(hooks), std::move(port)));
}

Line::Line(std::unique_ptr<detail::LineCore> core) : core_(std::move(core)) {}

detail::LineCore& detail::lineCore(Line& line) { return *line.core_; }
Line::~Line() = default;
Line::Line(Line&&) noexcept = default;
Line& Line::operator=(Line&&) noexcept = default;

const Device& Line::device() const { return core_->device; }
const LineSettings& Line::settings() const { return core_->settings; }

void Line::setClock(std::shared_ptr<Clock> clock) {
  core_->clock = std::move(clock);
  if (core_->clock) {
    core_->state.hooks.clock = nullptr;
    core_->hostClock = std::make_unique<HostClock>(core_->clock);
    core_->state.hooks.clock = core_->hostClock.get();
  } else {
    core_->state.hooks.clock = nullptr;
    core_->hostClock.reset();
  }
}

void Line::setWaitSlice(std::chrono::milliseconds slice) { core_->state.hooks.slice = slice; }

void Line::setByteTrace(ByteTrace trace) {
  core_->byteTrace = std::move(trace);
  // The port is made again at its next opening, with or without the trace around it; one left
  // open by a download keeps its own until the next command closes it.
  if (core_->state.port && !core_->state.port->PortOpen()) core_->state.port.reset();
}

bool detail::CommandNotes::said(serial::Notice notice) const {
  return std::find(notices.begin(), notices.end(), notice) != notices.end();
}

std::string detail::CommandNotes::logText() const {
  std::string text;
  for (const std::string& line : log) {
    if (!text.empty()) text += "; ";
    text += line;
  }
  return text;
}

void Line::setKeptRecords(std::shared_ptr<KeptRecords> store) {
  core_->kept = store ? std::make_unique<detail::KeptStore>(std::move(store)) : nullptr;
}

void detail::LineCore::noteLog(const std::string& line) {
  notes.log.push_back(line);
  if (hooks.log) hooks.log(line);
}

std::optional<Error> detail::LineCore::portFailure() const { return serial::portFailure(state); }

Error detail::LineCore::raised(const detail::Fault& fault) const {
  if (fault.kind() == FaultKind::port_unavailable) {
    if (auto failure = portFailure()) return *failure;
  }
  if (fault.kind() == FaultKind::invalid_value) {
    return Error(Errc::port_settings_refused, device.name() + ": " + fault.description());
  }
  return Error(Errc::port_failed, device.name() + ": " + fault.description());
}

Error detail::LineCore::exchangeFailure(uint8_t machine, const std::string& what) const {
  return serial::exchangeFailure(state, machine, what);
}

serial::PortSetup detail::LineCore::portSetup() const { return state.settings; }

}  // namespace solvard
