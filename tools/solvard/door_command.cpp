#include <iostream>

#include "automation/error.hpp"
#include "command_line.hpp"
#include "commands.hpp"
#include "door_download.hpp"
#include "door_options.hpp"
#include "door_values.hpp"
#include "prohibit/table_name.hpp"

namespace solvard::tool {
namespace {

using automation::DateTime;

void usage(std::ostream& out) {
  out << "usage: solvard door ACTION --machine M --port N|PATH [--baud N] [VALUES]\n"
         "  One command to access-control terminal M on the line at --port (a port number, 1\n"
         "  is /dev/ttyS0, or a device path), at --baud (default 9600):\n"
         "    open                          open the lock\n"
         "    state                         ask for the lock state (the terminal only answers)\n"
         "    mode --mode 255|0             set the lock mode (any other number is sent as 0)\n"
         "    delay --seconds N             set the reset delay, 1 to 255 (above 255 is sent as\n"
         "                                  255, below 1 as 5)\n"
         "    unlock-state                  set the lock open state\n"
         "    time --now                    set the date, weekday and time of this computer\n"
         "    time [--date D [--weekday W]] [--time T]\n"
         "                                  set the date D (2001-06-29) with weekday digit W,\n"
         "                                  and/or the time of day T (13:05:09)\n"
         "    allow --card C --from D --to D [--start T] [--end T] [--weekdays S-E]\n"
         "                                  let card C open the lock from day D to day D,\n"
         "                                  between --start (default 00:00) and --end (default\n"
         "                                  23:59), on weekdays S to E (default 1-7)\n"
         "    deny --card C                 take card C off the open list\n"
         "    clear-list                    empty the open list\n"
         "    clear-records                 clear the terminal's open records\n"
         "    id                            read the terminal's identity (ten digits)\n"
         "    download --table NAME --db FILE|CONNECTION\n"
         "                                  write the terminal's records into table NAME (card,\n"
         "                                  date, time), each committed before the terminal\n"
         "                                  lets it go; FILE is an SQLite file, whose table is\n"
         "                                  made when missing; NODATA when it holds none\n"
         "  Card numbers have up to ten digits, padded with leading zeros. Weekdays are single\n"
         "  digits passed to the terminal as given; --now and a --date without --weekday count\n"
         "  Monday 1 to Sunday 7. Exit status 0 when the terminal acknowledged (download: ISEND\n"
         "  or NODATA), 1 when it did not (or the library raised an error), 2 for a usage\n"
         "  error.\n";
}

int usageError(const std::string& problem) {
  std::cerr << "solvard door: " << problem << "\n";
  usage(std::cerr);
  return kExitUsage;
}

struct Action {
  const char* name;
  std::set<std::string> required;
  std::set<std::string> optional;
  std::set<std::string> flags;
};

const Action kActions[] = {
    {"open", {}, {}, {}},
    {"state", {}, {}, {}},
    {"mode", {"--mode"}, {}, {}},
    {"delay", {"--seconds"}, {}, {}},
    {"unlock-state", {}, {}, {}},
    {"time", {}, {"--date", "--weekday", "--time"}, {"--now"}},
    {"allow", {"--card", "--from", "--to"}, {"--start", "--end", "--weekdays"}, {}},
    {"deny", {"--card"}, {}, {}},
    {"clear-list", {}, {}, {}},
    {"clear-records", {}, {}, {}},
    {"id", {}, {}, {}},
    {"download", {"--table", "--db"}, {}, {}},
};

// Says what became of one command and gives its exit status.
class Outcome {
 public:
  explicit Outcome(int16_t machine) : machine_(machine) {}

  // `asked` says what the command asks of the terminal ("open the lock"), `done` what the
  // acknowledgement confirms ("lock opened").
  void acknowledged(bool acknowledged, const std::string& asked, const std::string& done) {
    const std::string shown = messages_.take();
    if (acknowledged) {
      std::cout << "terminal " << machine_ << " acknowledged: " << done << "\n";
      return;
    }
    failed_ = true;
    std::cout << "terminal " << machine_ << " did not acknowledge the command to " << asked << ": "
              << (shown.empty() ? "no reply, or a reply that was not its acknowledgement"
                                : shown + " (nothing was sent)")
              << "\n";
  }

  void lockState(int32_t state) {
    const std::string shown = messages_.take();
    if (state == 1) {
      std::cout << "terminal " << machine_ << " answered: lock state 1 (the terminal tells no "
                << "more than that it answered)\n";
      return;
    }
    failed_ = true;
    std::cout << "terminal " << machine_ << " gave no lock state (" << state << "): "
              << (state == -1 ? shown + " (nothing was sent)"
                              : "no reply, or a reply that was not its acknowledgement")
              << "\n";
  }

  int status() const { return failed_ ? kExitFailed : kExitOk; }

 private:
  int16_t machine_;
  DoorMessages messages_;
  bool failed_ = false;
};

// The values an action takes, read and checked before anything is sent.
struct Values {
  int16_t number = 0;
  std::string card;
  DateTime from, to, start, end;
  int16_t startWeek = 1, endWeek = 7;
  bool setDate = false, setTime = false;
  DateTime date, time;
  int16_t weekday = 0;
  std::string table, database;
};

bool readValues(const std::string& action, const DoorOptions& options, Values& v,
                std::string& problem) {
  const auto has = [&](const char* option) { return options.values.contains(option); };
  const auto value = [&](const char* option) { return options.values.at(option); };
  if (action == "mode") return readNumberOption("--mode", value("--mode"), v.number, problem);
  if (action == "delay") {
    return readNumberOption("--seconds", value("--seconds"), v.number, problem);
  }
  if (action == "deny") return readCardOption(value("--card"), v.card, problem);
  if (action == "download") {
    v.table = value("--table");
    v.database = value("--db");
    if (!prohibit::isTableName(v.table)) {
      problem =
          "--table takes a table name such as Records, dbo.Records or \"Access Records\", "
          "not \"" +
          v.table + "\"";
      return false;
    }
    return true;
  }
  if (action == "allow") {
    v.end = DateTime{1899, 12, 30, 23, 59, 0};
    return readCardOption(value("--card"), v.card, problem) &&
           readDateOption("--from", value("--from"), v.from, problem) &&
           readDateOption("--to", value("--to"), v.to, problem) &&
           (!has("--start") || readTimeOption("--start", value("--start"), v.start, problem)) &&
           (!has("--end") || readTimeOption("--end", value("--end"), v.end, problem)) &&
           (!has("--weekdays") ||
            readWeekdaysOption(value("--weekdays"), v.startWeek, v.endWeek, problem));
  }
  if (action != "time") return true;
  if (options.flags.contains("--now")) {
    if (!options.values.empty()) {
      problem = "--now sets the date, weekday and time: give it alone";
      return false;
    }
    v.date = v.time = localNow();
    v.weekday = mondayFirstWeekday(v.date);
    v.setDate = v.setTime = true;
    return true;
  }
  if (!has("--date") && !has("--time")) {
    problem = "time takes --now, or --date and/or --time";
    return false;
  }
  if (has("--weekday") && !has("--date")) {
    problem = "--weekday goes with --date";
    return false;
  }
  v.setDate = has("--date");
  v.setTime = has("--time");
  if (v.setDate) {
    if (!readDateOption("--date", value("--date"), v.date, problem)) return false;
    v.weekday = mondayFirstWeekday(v.date);
    if (has("--weekday") &&
        !readWeekdayOption("--weekday", value("--weekday"), v.weekday, problem)) {
      return false;
    }
  }
  return !v.setTime || readTimeOption("--time", value("--time"), v.time, problem);
}

std::string hourMinute(const DateTime& t) { return automation::timeText(t).substr(0, 5); }

std::string adjusted(int16_t sent, int16_t asked) {
  return std::to_string(sent) + (sent == asked ? "" : " (asked " + std::to_string(asked) + ")");
}

int run(const std::string& action, int16_t machine, Values& v, component::Prohibit& door) {
  if (action == "id") return runDoorIdentity(machine, door);
  if (action == "download") return runDoorDownload(machine, v.table, v.database, door);
  Outcome outcome(machine);
  if (action == "open") {
    outcome.acknowledged(door.OpenLock(machine), "open the lock", "lock opened");
  } else if (action == "state") {
    outcome.lockState(door.GetLockState(machine));
  } else if (action == "mode") {
    const int16_t asked = v.number;
    const bool done = door.SetLockMode(machine, v.number);
    outcome.acknowledged(done, "set the lock mode", "lock mode " + adjusted(v.number, asked));
  } else if (action == "delay") {
    const int16_t asked = v.number;
    const bool done = door.SetResetDelay(machine, v.number);
    outcome.acknowledged(done, "set the reset delay", "reset delay " + adjusted(v.number, asked));
  } else if (action == "unlock-state") {
    outcome.acknowledged(door.SetLockOpenState(machine), "set the lock open state",
                         "lock open state set");
  } else if (action == "time") {
    int16_t machineNo = machine;
    if (v.setDate) {
      const std::string date = automation::dateText(v.date);
      outcome.acknowledged(door.SetMacDateAndWeek(machineNo, v.date, v.weekday),
                           "set the date " + date,
                           "date " + date + ", weekday " + std::to_string(v.weekday));
    }
    if (v.setTime) {
      std::string time = automation::timeText(v.time);
      outcome.acknowledged(door.SetMacTime(machineNo, time), "set the time " + time,
                           "time " + time);
    }
  } else if (action == "allow") {
    std::string from = automation::dateText(v.from), to = automation::dateText(v.to);
    std::string start = hourMinute(v.start), end = hourMinute(v.end);
    const bool done =
        door.SetOpenList(machine, v.card, from, to, start, end, v.startWeek, v.endWeek);
    outcome.acknowledged(done, "allow card " + v.card,
                         "card " + v.card + " may open from " + from + " to " + to + ", " + start +
                             " to " + end + ", weekdays " + std::to_string(v.startWeek) + " to " +
                             std::to_string(v.endWeek));
  } else if (action == "deny") {
    outcome.acknowledged(door.DeleteLockList(machine, v.card), "deny card " + v.card,
                         "card " + v.card + " taken off the open list");
  } else if (action == "clear-list") {
    outcome.acknowledged(door.ClearOpenList(machine), "empty the open list", "open list emptied");
  } else {
    outcome.acknowledged(door.ClearOpenRecord(machine), "clear the open records",
                         "open records cleared");
  }
  return outcome.status();
}

}  // namespace

int doorCommand(const std::vector<std::string>& args) {
  if (args.empty()) return usageError("name an action");
  if (args[0] == "--help" || args[0] == "-h") {
    usage(std::cout);
    return kExitOk;
  }
  const Action* action = nullptr;
  for (const Action& a : kActions) {
    if (args[0] == a.name) action = &a;
  }
  if (action == nullptr) return usageError("no action \"" + args[0] + "\"");

  std::set<std::string> valueOptions = action->required;
  valueOptions.insert(action->optional.begin(), action->optional.end());
  DoorOptions options;
  std::string problem;
  const std::vector<std::string> rest(args.begin() + 1, args.end());
  if (!parseDoorOptions(rest, valueOptions, action->flags, options, problem)) {
    return usageError(problem);
  }
  for (const std::string& option : action->required) {
    if (!options.values.contains(option)) return usageError(option + " is required");
  }
  Values values;
  if (!readValues(action->name, options, values, problem)) return usageError(problem);

  try {
    std::unique_ptr<component::Prohibit> door = doorObjectFor(options, problem);
    if (!door) return usageError(problem);
    return run(action->name, options.machine, values, *door);
  } catch (const automation::AutomationError& e) {
    std::cout << "error " << e.number() << ": " << e.description() << "\n";
    return kExitFailed;
  }
}

}  // namespace solvard::tool

namespace solvard::tool {

void addDoorCommand(CLI::App& app, int& status) {
  addWordListCommand(app, "door", "drive an access-control terminal", doorCommand, status);
}

}  // namespace solvard::tool
