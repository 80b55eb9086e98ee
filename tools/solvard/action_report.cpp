#include "action_report.hpp"

#include <cmath>
#include <iostream>

#include "commands.hpp"

namespace solvard::tool {

int exitStatusOf(const ActionReport& report) {
  if (!report.error) return kExitOk;
  switch (report.error->code()) {
    case Errc::invalid_value: return kExitUsage;
    case Errc::database_unavailable:
    case Errc::database_refused:
    case Errc::outcome_unknown:
    case Errc::sink_refused:
    case Errc::record_pending: return kExitDatabase;
    default: return kExitFailed;
  }
}

std::string errorCodeName(Errc code) {
  switch (code) {
    case Errc::invalid_value: return "invalid_value";
    case Errc::line_busy: return "line_busy";
    case Errc::port_not_found: return "port_not_found";
    case Errc::port_not_a_terminal: return "port_not_a_terminal";
    case Errc::port_permission_denied: return "port_permission_denied";
    case Errc::port_in_use: return "port_in_use";
    case Errc::port_settings_refused: return "port_settings_refused";
    case Errc::port_failed: return "port_failed";
    case Errc::no_reply: return "no_reply";
    case Errc::wrong_machine: return "wrong_machine";
    case Errc::reply_incomplete: return "reply_incomplete";
    case Errc::unexpected_reply: return "unexpected_reply";
    case Errc::database_unavailable: return "database_unavailable";
    case Errc::database_refused: return "database_refused";
    case Errc::outcome_unknown: return "outcome_unknown";
    case Errc::sink_refused: return "sink_refused";
    case Errc::record_pending: return "record_pending";
    case Errc::stopped: return "stopped";
    case Errc::limit_reached: return "limit_reached";
  }
  return "unknown";
}

namespace {

// What a person usually does about a port that cannot be had.
std::string portRemedy(Errc code) {
  switch (code) {
    case Errc::port_not_found:
      return "check the device name; 'solvard ports' lists this machine's serial devices";
    case Errc::port_not_a_terminal: return "it is not a serial device; 'solvard ports' lists them";
    case Errc::port_permission_denied: return "is the user in the dialout group?";
    case Errc::port_in_use: return "close the other program that holds it";
    case Errc::port_settings_refused: return "the device cannot run at this baud rate";
    default: return {};
  }
}

bool isPortOpening(Errc code) {
  return code == Errc::port_not_found || code == Errc::port_not_a_terminal ||
         code == Errc::port_permission_denied || code == Errc::port_in_use ||
         code == Errc::port_settings_refused;
}

}  // namespace

std::string failureText(const ActionReport& report) {
  const Error& error = *report.error;
  std::string text;
  if (isPortOpening(error.code())) {
    text = "cannot open " + error.detail() + " (" + portRemedy(error.code()) + ")";
  } else {
    text = error.message();
    if (!report.hint.empty()) text += " (" + report.hint + ")";
  }
  return text;
}

nlohmann::ordered_json reportJson(const ActionReport& report) {
  nlohmann::ordered_json out = nlohmann::ordered_json::object();
  out["command"] = report.command;
  out["machine"] =
      report.machine ? nlohmann::ordered_json(*report.machine) : nlohmann::ordered_json(nullptr);
  out["ok"] = !report.error.has_value();
  out["result"] = report.result;
  if (report.error) {
    out["error"] = {{"code", errorCodeName(report.error->code())},
                    {"message", std::string(message(report.error->code()))},
                    {"detail", report.error->detail()}};
  } else {
    out["error"] = nullptr;
  }
  if (report.records) out["records"] = *report.records;
  if (report.seconds) out["seconds"] = std::round(*report.seconds * 1000) / 1000;
  return out;
}

int finish(const ActionReport& report, bool json) {
  if (json) {
    std::cout << reportJson(report).dump(-1, ' ', false,
                                         nlohmann::ordered_json::error_handler_t::replace)
              << "\n";
  } else if (report.error) {
    std::cerr << "solvard " << report.command << ": " << failureText(report) << "\n";
  } else {
    std::cout << report.done << "\n";
  }
  return exitStatusOf(report);
}

}  // namespace solvard::tool
