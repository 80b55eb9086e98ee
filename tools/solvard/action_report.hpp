#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "solvard/error.hpp"

namespace solvard::tool {

// What one action did, shown to a person as a sentence or to a script as one JSON object:
// {"command", "machine", "ok", "result", "error": null or {"code", "message", "detail"}, and
// for downloads "records" and "seconds"}.
struct ActionReport {
  ActionReport(std::string command_, std::optional<int> machine_)
      : command(std::move(command_)), machine(machine_) {}

  std::string command;  // "door open"
  std::optional<int> machine;
  nlohmann::ordered_json result;  // the action's value; null when it has none
  std::optional<Error> error;
  std::optional<int> records;
  std::optional<double> seconds;
  std::string done;  // the sentence when it worked: "terminal 3 acknowledged: lock opened"
  std::string hint;  // what a person can do about the error, when known
};

// 0 done, 1 the terminal or the line failed, 2 a value refused, 3 the database failed.
int exitStatusOf(const ActionReport& report);

// "no_reply": the code a script reads.
std::string errorCodeName(Errc code);

// The operator's sentence for a failure: a port that cannot be opened names the device, the
// system's reason and the likely remedy ("cannot open /dev/ttyS8: Permission denied (is the
// user in the dialout group?)").
std::string failureText(const ActionReport& report);

nlohmann::ordered_json reportJson(const ActionReport& report);

// Prints the report (the sentence on standard output, or a failure on standard error; the JSON
// object on standard output with `json`) and gives the exit status.
int finish(const ActionReport& report, bool json);

}  // namespace solvard::tool
