#include "line_scan.hpp"

#include "serve_state.hpp"
#include "solvard/attend_terminal.hpp"
#include "solvard/door_terminal.hpp"

namespace solvard::tool {
namespace {

// Whether an ending means a reply came at all, of whatever kind.
bool answered(const Error& error) {
  return error.code() == Errc::wrong_machine || error.code() == Errc::unexpected_reply ||
         error.code() == Errc::reply_incomplete;
}

bool portFailed(const Error& error) {
  switch (error.code()) {
    case Errc::port_not_found:
    case Errc::port_not_a_terminal:
    case Errc::port_permission_denied:
    case Errc::port_in_use:
    case Errc::port_settings_refused:
    case Errc::port_failed: return true;
    default: return false;
  }
}

}  // namespace

ScanOutcome scanLine(Line& line, const std::vector<uint8_t>& machines,
                     const std::function<void(int done, int total)>& progress,
                     const std::function<bool()>& stop) {
  ScanOutcome outcome;
  std::vector<ScanFinding>& findings = outcome.found;
  const int total = static_cast<int>(machines.size());
  for (int done = 0; done < total; ++done) {
    if (stop && stop()) break;
    const auto number = MachineNumber::make(machines[static_cast<std::size_t>(done)]);
    if (!number) continue;
    ScanFinding finding{number->value(), "", std::nullopt};
    const Result<void> door = DoorTerminal(line, *number).readLockState();
    outcome.asked = done + 1;
    if (!door && portFailed(door.error())) {
      // No machine number can answer on a line whose device cannot be had.
      outcome.line = door.error();
      break;
    }
    if (door) {
      finding.kind = "door";
    } else {
      const Result<CardNumber> clock = AttendTerminal(line, *number).readOriginalCard();
      if (clock) {
        finding.kind = "attend";
      } else if (answered(clock.error()) || answered(door.error())) {
        finding.kind = "unknown";
        finding.error = answered(clock.error()) ? clock.error() : door.error();
      }
    }
    if (!finding.kind.empty()) findings.push_back(std::move(finding));
    if (progress) progress(done + 1, total);
  }
  return outcome;
}

nlohmann::ordered_json scanJson(const std::vector<ScanFinding>& findings) {
  nlohmann::ordered_json list = nlohmann::ordered_json::array();
  for (const ScanFinding& finding : findings) {
    list.push_back({{"machine", finding.machine},
                    {"kind", finding.kind},
                    {"error", finding.error ? errorJson(*finding.error) : nullptr}});
  }
  return list;
}

}  // namespace solvard::tool
