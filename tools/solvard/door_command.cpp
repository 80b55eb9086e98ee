#include <CLI/CLI.hpp>
#include <memory>
#include <optional>

#include "action_command.hpp"
#include "commands.hpp"
#include "door_download.hpp"
#include "line_options.hpp"
#include "printable_text.hpp"
#include "solvard/door_terminal.hpp"
#include "value_options.hpp"

namespace solvard::tool {
namespace {

using json = nlohmann::ordered_json;

// The words of every door action, read by whichever action the command line chose.
struct DoorWords {
  LineOptions line;
  int mode = -1;
  int seconds = 0;
  bool now = false;
  std::string date, weekday, time;
  std::string card, from, to, start = "00:00", end = "23:59", weekdays = "1-7";
  std::string table, database;
};

std::string terminal(int machine) { return "terminal " + std::to_string(machine); }

// One exchange that the terminal acknowledges.
ActionReport acknowledgement(const std::string& action, const DoorWords& w, Result<void> outcome,
                             const std::string& done, json result = nullptr) {
  ActionReport report{"door " + action, w.line.machine};
  if (!outcome) {
    report.error = outcome.error();
  } else {
    report.result = std::move(result);
    report.done = terminal(w.line.machine) + " acknowledged: " + done;
  }
  return report;
}

ActionReport setClock(DoorTerminal& door, const DoorWords& w) {
  if (w.now) {
    const auto wallClock = localNow();
    const auto day = std::chrono::year_month_day(std::chrono::floor<std::chrono::days>(wallClock));
    const auto weekday = WeekdayNumber::iso(std::chrono::weekday(std::chrono::local_days(day)));
    const auto date = Date::make(day);
    const auto time =
        std::chrono::hh_mm_ss(wallClock - std::chrono::floor<std::chrono::days>(wallClock));
    const std::string dateWords = date ? dateText(*date) : "?";
    char timeWords[16];
    std::snprintf(timeWords, sizeof timeWords, "%02d:%02d:%02d", int(time.hours().count()),
                  int(time.minutes().count()), int(time.seconds().count()));
    return acknowledgement(
        "time", w, door.setClock(wallClock, weekday),
        "date " + dateWords + ", weekday " + std::to_string(weekday.value()) + ", time " +
            timeWords,
        {{"date", dateWords}, {"weekday", weekday.value()}, {"time", timeWords}});
  }
  json result = json::object();
  std::string done;
  if (!w.date.empty()) {
    const Date date = readDate("--date", w.date);
    const WeekdayNumber weekday =
        w.weekday.empty()
            ? WeekdayNumber::iso(std::chrono::weekday(std::chrono::sys_days(date.value())))
            : readWeekday("--weekday", w.weekday);
    if (auto set = door.setDate(date, weekday); !set) return acknowledgement("time", w, set, "");
    result["date"] = dateText(date);
    result["weekday"] = weekday.value();
    done = "date " + dateText(date) + ", weekday " + std::to_string(weekday.value());
  }
  if (!w.time.empty()) {
    const TimeOfDay time = readTime("--time", w.time);
    if (auto set = door.setTime(time); !set) {
      ActionReport report = acknowledgement("time", w, set, "");
      if (!done.empty()) report.hint = "the " + done + " had been acknowledged";
      return report;
    }
    result["time"] = timeText(time);
    done += (done.empty() ? "" : ", ") + ("time " + timeText(time));
  }
  return acknowledgement("time", w, {}, done, result);
}

ActionReport allow(DoorTerminal& door, const DoorWords& w) {
  const CardNumber card = readCard("--card", w.card);
  const Date from = readDate("--from", w.from), to = readDate("--to", w.to);
  if (to.value() < from.value()) {
    throw CLI::ValidationError(
        "--to", "the card's window ends (" + w.to + ") before it starts (" + w.from + ")");
  }
  const TimeOfDay start = readTime("--start", w.start), end = readTime("--end", w.end);
  const auto [first, last] = readWeekdays("--weekdays", w.weekdays);
  const auto permit = CardPermit::make(from, to, start, end, first, last);
  if (!permit) throw CLI::ValidationError("--to", permit.error().detail());
  const std::string window = "from " + dateText(from) + " to " + dateText(to) + ", " +
                             timeText(start, false) + " to " + timeText(end, false) +
                             ", weekdays " + std::to_string(first.value()) + " to " +
                             std::to_string(last.value());
  return acknowledgement("allow", w, door.allowCard(card, *permit),
                         "card " + card.digits() + " may open " + window,
                         {{"card", card.digits()},
                          {"from", dateText(from)},
                          {"to", dateText(to)},
                          {"start", timeText(start, false)},
                          {"end", timeText(end, false)},
                          {"weekdays", {first.value(), last.value()}}});
}

ActionReport run(const std::string& action, const DoorWords& w) {
  if (action == "download") return downloadDoor(w.line, w.table, w.database);
  // Values are read before the line is made, so a refused one leaves the line untouched.
  ActionLine line(w.line);
  DoorTerminal door(line.line(), MachineNumber::make(w.line.machine).value());
  if (action == "open") return acknowledgement(action, w, door.openDoor(), "lock opened");
  if (action == "state") {
    return acknowledgement(action, w, door.readLockState(),
                           "it answers (the terminal tells no more than that)");
  }
  if (action == "mode") {
    const LockMode mode = w.mode == 255 ? LockMode::mode255 : LockMode::mode0;
    return acknowledgement(action, w, door.setLockMode(mode), "lock mode " + std::to_string(w.mode),
                           {{"mode", w.mode}});
  }
  if (action == "delay") {
    return acknowledgement(action, w, door.setResetDelay(w.seconds),
                           "reset delay " + std::to_string(w.seconds) + " s",
                           {{"seconds", w.seconds}});
  }
  if (action == "unlock-state") {
    return acknowledgement(action, w, door.holdOpen(), "lock held open");
  }
  if (action == "time") return setClock(door, w);
  if (action == "allow") return allow(door, w);
  if (action == "deny") {
    const CardNumber card = readCard("--card", w.card);
    return acknowledgement(action, w, door.denyCard(card),
                           "card " + card.digits() + " taken off the open list",
                           {{"card", card.digits()}});
  }
  if (action == "clear-list") {
    return acknowledgement(action, w, door.clearCardList(), "open list emptied");
  }
  if (action == "clear-records") {
    return acknowledgement(action, w, door.clearRecords(), "open records cleared");
  }
  ActionReport report{"door id", w.line.machine};
  if (auto identity = door.identity()) {
    report.result = identity->digits();
    report.done = terminal(w.line.machine) + " identity: " + identity->digits();
  } else {
    report.error = identity.error();
  }
  return report;
}

// Reads values before the line is touched, so the checks the option reader cannot make (a
// window that ends before it starts) still come back as usage errors.
void checkTimeWords(const DoorWords& w) {
  if (w.now && (!w.date.empty() || !w.time.empty() || !w.weekday.empty())) {
    throw CLI::ValidationError("--now", "sets the date, weekday and time: give it alone");
  }
  if (!w.now && w.date.empty() && w.time.empty()) {
    throw CLI::ValidationError("time", "give --now, or --date and/or --time");
  }
  if (!w.weekday.empty() && w.date.empty()) {
    throw CLI::ValidationError("--weekday", "goes with --date");
  }
  if (!w.date.empty()) readDate("--date", w.date);
  if (!w.weekday.empty()) readWeekday("--weekday", w.weekday);
  if (!w.time.empty()) readTime("--time", w.time);
}

}  // namespace

void addDoorCommand(CLI::App& app, int& status) {
  CLI::App* door = app.add_subcommand("door", "drive an access-control terminal");
  door->require_subcommand(1);
  door->footer(
      "Each action is one exchange with access-control terminal -m on the line at -p. Exit "
      "status: 0 acknowledged (download: records written, or none stored), 1 the terminal or "
      "the line failed, 2 a usage error, 3 the database failed.");
  const auto action =
      actionAdder<DoorWords>(*door, status, [](const std::string& name, const DoorWords& words) {
        if (name == "time") checkTimeWords(words);
        return run(name, words);
      });
  action("open", "open the lock");
  action("state", "ask for the lock state (the terminal only answers)");
  auto mode = action("mode", "set the lock mode, 255 or 0");
  mode.command
      ->add_option("--mode", mode.words->mode,
                   "the lock mode: 255 or 0, the two the terminal knows")
      ->required()
      ->check(CLI::IsMember({0, 255}));
  auto delay = action("delay", "set how long the lock stays open");
  delay.command->add_option("--seconds", delay.words->seconds, "1 to 255 seconds")
      ->required()
      ->check(CLI::Range(1, 255));
  action("unlock-state", "hold the lock open (the terminal's open state)");
  auto time = action("time", "set the terminal's date, weekday and time");
  time.command->add_flag("--now", time.words->now,
                         "the date, weekday (Monday 1) and time of this computer");
  time.command->add_option("--date", time.words->date, "the date, yyyy-MM-dd");
  time.command->add_option("--weekday", time.words->weekday,
                           "the weekday digit sent with --date (default: Monday 1 to Sunday 7)");
  time.command->add_option("--time", time.words->time, "the time of day, HH:mm:ss");
  auto allow = action("allow", "put a card on the open list with its window");
  allow.command->add_option("--card", allow.words->card, "the card, up to ten digits")->required();
  allow.command->add_option("--from", allow.words->from, "the first day, yyyy-MM-dd")->required();
  allow.command->add_option("--to", allow.words->to, "the last day, yyyy-MM-dd")->required();
  allow.command->add_option("--start", allow.words->start, "daily from, HH:mm (default 00:00)");
  allow.command->add_option("--end", allow.words->end, "daily until, HH:mm (default 23:59)");
  allow.command->add_option("--weekdays", allow.words->weekdays,
                            "first and last weekday digits (default 1-7)");
  auto deny = action("deny", "take a card off the open list");
  deny.command->add_option("--card", deny.words->card, "the card, up to ten digits")->required();
  action("clear-list", "empty the open list");
  action("clear-records", "clear the terminal's stored records");
  action("id", "read the terminal's ten-digit identity");
  auto download = action("download", "write the terminal's records into a table");
  download.command
      ->add_option("--table", download.words->table, "the table: Records, \"Access Records\", ...")
      ->required();
  download.command
      ->add_option("-d,--db", download.words->database,
                   "an SQLite file (the table made when missing) or a connection text")
      ->required()
      ->envname("SOLVARD_DB")
      ->check(CLI::Validator([](std::string& text) { return controlCharacterProblem(text); }, ""));
  addProgressOptions(*download.command, download.words->line);
}

}  // namespace solvard::tool
