#include <time.h>

#include <iostream>

#include "attend/mac_values.hpp"
#include "attend_options.hpp"
#include "automation/date.hpp"
#include "automation/error.hpp"
#include "command_line.hpp"
#include "commands.hpp"

namespace solvard::tool {
namespace {

using automation::DateTime;
using automation::Variant;

void usage(std::ostream& out) {
  out << "usage: solvard clock set --machine M --port N|PATH [--baud N]\n"
         "                         (--now | [--date YYYY-MM-DD] [--time HH:MM:SS])\n"
         "  Sets the clock of attendance terminal M on the line at --port (a port number, 1 is\n"
         "  /dev/ttyS0, or a device path), at --baud (default 9600): the date, then the time.\n"
         "  --now takes both from this computer's local clock; --date and --time set either\n"
         "  or both. The terminal keeps the year without its century. Exit status 0 when the\n"
         "  terminal acknowledged every setting, 1 when it did not, 2 for a usage error.\n";
}

int usageError(const std::string& problem) {
  std::cerr << "solvard clock: " << problem << "\n";
  usage(std::cerr);
  return kExitUsage;
}

DateTime localNow() {
  const time_t now = time(nullptr);
  tm local{};
  localtime_r(&now, &local);
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
          local.tm_hour,        local.tm_min,     local.tm_sec};
}

// What is to be set: a date, a time, or both.
struct Setting {
  std::optional<DateTime> date;
  std::optional<Variant> time;
};

bool readSetting(const AttendOptions& options, Setting& setting, std::string& problem) {
  const bool now = options.flags.contains("--now");
  const auto date = options.values.find("--date");
  const auto time = options.values.find("--time");
  const bool dateGiven = date != options.values.end();
  const bool timeGiven = time != options.values.end();
  if (now == (dateGiven || timeGiven)) {
    problem = "give --now, or --date and/or --time";
    return false;
  }
  if (now) {
    const DateTime current = localNow();
    setting = {current, Variant(current)};
    return true;
  }
  if (dateGiven) {
    const auto parsed = automation::parseDateTime(date->second);
    if (!parsed || automation::textHasTime(date->second)) {
      problem = "--date takes a date such as 2001-06-29, not \"" + date->second + "\"";
      return false;
    }
    setting.date = *parsed;
  }
  if (timeGiven) {
    if (!attend::timeOfDay(Variant(time->second))) {
      problem = "--time takes a time of day such as 09:48:32, not \"" + time->second + "\"";
      return false;
    }
    setting.time = Variant(time->second);
  }
  return true;
}

int setClock(const AttendOptions& options, const Setting& setting, component::Attend& object) {
  if (setting.date) {
    OperatorMessages messages;
    const int32_t result = object.AdjustDate(options.machine, *setting.date);
    const int status = reportAcknowledgement(std::cout, options, result, messages,
                                             "date set to " + automation::dateText(*setting.date));
    // Without the date acknowledged there is no point in waiting for the time as well.
    if (status != kExitOk) return status;
  }
  if (setting.time) {
    OperatorMessages messages;
    const int32_t result = object.AdjustTime(options.machine, *setting.time);
    const std::string time = automation::timeText(*attend::timeOfDay(*setting.time));
    return reportAcknowledgement(std::cout, options, result, messages, "time set to " + time);
  }
  return kExitOk;
}

}  // namespace

int clockCommand(const std::vector<std::string>& args) {
  if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
    usage(std::cout);
    return kExitOk;
  }
  if (args.empty() || args[0] != "set") return usageError("the action is set");

  AttendOptions options;
  std::string problem;
  const std::vector<std::string> rest(args.begin() + 1, args.end());
  Setting setting;
  if (!parseAttendOptions(rest, {"--date", "--time"}, {"--now"}, options, problem) ||
      !readSetting(options, setting, problem)) {
    return usageError(problem);
  }
  try {
    std::unique_ptr<component::Attend> object = attendObjectFor(options, problem);
    if (!object) return usageError(problem);
    return setClock(options, setting, *object);
  } catch (const automation::AutomationError& e) {
    std::cout << "error " << e.number() << ": " << e.description() << "\n";
    return kExitFailed;
  }
}

}  // namespace solvard::tool

namespace solvard::tool {

void addClockCommand(CLI::App& app, int& status) {
  addWordListCommand(app, "clock", "set an attendance terminal's date and time", clockCommand,
                     status);
}

}  // namespace solvard::tool
