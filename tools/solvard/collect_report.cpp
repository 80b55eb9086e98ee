#include "collect_report.hpp"

#include <cmath>
#include <cstdio>

#include "action_report.hpp"
#include "commands.hpp"

namespace solvard::tool {
namespace {

using json = nlohmann::ordered_json;

bool failed(const TerminalOutcome& outcome) {
  return outcome.error && outcome.error->code() != Errc::stopped;
}

json errorJson(const std::optional<Error>& error) {
  if (!error) return nullptr;
  return {{"code", errorCodeName(error->code())},
          {"message", std::string(message(error->code()))},
          {"detail", error->detail()}};
}

double rounded(double value) { return std::round(value * 1000) / 1000; }

}  // namespace

std::string countsText(const TerminalOutcome& t) {
  std::string text = std::to_string(t.given) + " records (" + std::to_string(t.stored) +
                     " stored, " + std::to_string(t.alreadyStored) + " already stored, " +
                     std::to_string(t.kept) + " kept)";
  if (t.fromKept > 0)
    text += ", " + std::to_string(t.fromKept) + " kept by an earlier pass written first";
  return text;
}

int passExitStatus(const PassOutcome& pass) {
  if (pass.database) return kExitDatabase;
  int status = kExitOk;
  for (const TerminalOutcome& outcome : pass.terminals) {
    if (!failed(outcome)) continue;
    ActionReport report{"collect", outcome.machine};
    report.error = outcome.error;
    status = std::max(status, exitStatusOf(report));
  }
  return status;
}

json passJson(const PassOutcome& pass) {
  json terminals = json::array();
  std::string failures;
  int failedCount = 0;
  for (const TerminalOutcome& t : pass.terminals) {
    terminals.push_back(
        {{"line", t.line},
         {"kind", kindName(t.kind)},
         {"machine", t.machine},
         {"name", t.name.empty() ? json(nullptr) : json(t.name)},
         {"records", t.records},
         {"given", t.given},
         {"stored", t.stored},
         {"already_stored", t.alreadyStored},
         {"kept", t.kept},
         {"from_kept", t.fromKept},
         {"seconds", rounded(t.seconds)},
         {"cleared", t.cleared},
         {"clear_window_ms", t.clearWindowMs ? json(rounded(*t.clearWindowMs)) : json(nullptr)},
         {"warned", t.warned},
         {"error", errorJson(t.error)},
         {"asked", t.asked},
         {"more", t.more}});
    if (failed(t)) {
      failures += (failures.empty() ? "" : ", ") +
                  ("line " + t.line + " terminal " + std::to_string(t.machine));
      ++failedCount;
    }
  }
  json out = json::object();
  out["command"] = "collect";
  out["machine"] = nullptr;
  out["ok"] = passExitStatus(pass) == kExitOk;
  out["result"] = {{"pass", pass.passId}, {"terminals", terminals}};
  if (pass.database) {
    out["error"] = errorJson(pass.database);
  } else if (failedCount > 0) {
    out["error"] = {{"code", "terminals_failed"},
                    {"message", "some terminals were not collected"},
                    {"detail", std::to_string(failedCount) + " of " +
                                   std::to_string(pass.terminals.size()) + ": " + failures}};
  } else {
    out["error"] = nullptr;
  }
  return out;
}

std::string passText(const PassOutcome& pass) {
  if (pass.database) {
    return "solvard collect: the database cannot be used, no terminal was asked: " +
           pass.database->message() + "\n";
  }
  std::string text;
  int records = 0;
  int done = 0;
  int unasked = 0;
  for (const TerminalOutcome& t : pass.terminals) {
    std::string line =
        "line " + t.line + " " + kindName(t.kind) + " terminal " + std::to_string(t.machine);
    if (!t.name.empty()) line += " (" + t.name + ")";
    char numbers[96];
    std::snprintf(numbers, sizeof numbers, " in %.1f s", t.seconds);
    line += ": " + countsText(t) + numbers;
    if (t.cleared) {
      std::snprintf(numbers, sizeof numbers, ", cleared %.0f ms after the count", *t.clearWindowMs);
      line += numbers;
    }
    if (t.error) line += ", " + std::string(failed(t) ? "failed: " : "") + t.error->message();
    if (t.warned) line += " (more than warn_above)";
    if (t.more) line += " (stopped at pass_time: it may hold more)";
    text += line + "\n";
    records += t.records;
    // A terminal a stop left unasked did not fail, but nothing was collected from it either.
    if (t.asked && !failed(t)) ++done;
    if (!t.asked && !failed(t)) ++unasked;
  }
  text += "collected " + std::to_string(records) + " records from " + std::to_string(done) +
          " of " + std::to_string(pass.terminals.size()) + " terminals";
  if (unasked > 0) text += "; " + std::to_string(unasked) + " not asked: the pass was stopped";
  text += " (pass " + pass.passId + ")\n";
  return text;
}

}  // namespace solvard::tool
