#include "serial/line_errors.hpp"

#include <cstdio>

namespace solvard::serial {

std::string hexText(const std::vector<uint8_t>& bytes) {
  std::string text;
  for (const uint8_t byte : bytes) {
    char pair[4];
    std::snprintf(pair, sizeof pair, "%02X", byte);
    if (!text.empty()) text += ' ';
    text += pair;
  }
  return text.empty() ? "nothing" : text;
}

std::optional<Error> portFailure(const LineState& line) {
  if (!line.port) return std::nullopt;
  const auto failure = line.port->openFailure();
  if (!failure) return std::nullopt;
  using Kind = OpenFailure::Kind;
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

Error exchangeFailure(const LineState& line, uint8_t machine, const std::string& what) {
  const LinkTrace& trace = line.trace;
  const std::string terminal = "terminal " + std::to_string(machine);
  const std::string sent =
      trace.lastFrame.empty() ? std::string() : " after " + hexText(trace.lastFrame);
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
                                          hexText(trace.lastRead) + ")" + sent);
  }
  return Error(Errc::unexpected_reply,
               terminal + ": the " + what + " was " + hexText(trace.lastRead) + sent);
}

Result<void> exchangeResult(const LineState& line, Ending ending, uint8_t machine,
                            const std::string& what) {
  if (ending == Ending::Success) return {};
  if (auto port = portFailure(line)) return *port;
  if (ending == Ending::PortFailure) {
    return Error(Errc::port_failed, line.devicePath() + ": the port cannot be opened");
  }
  return exchangeFailure(line, machine, what);
}

}  // namespace solvard::serial
