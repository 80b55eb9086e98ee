#include "door_actions.hpp"

#include <CLI/CLI.hpp>
#include <memory>
#include <optional>

#include "door_download.hpp"
#include "line_options.hpp"
#include "solvard/door_terminal.hpp"
#include "value_options.hpp"

namespace solvard::tool {
namespace {

using json = nlohmann::ordered_json;

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

}  // namespace

ActionReport runDoorAction(const std::string& action, const DoorWords& w) {
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

}  // namespace solvard::tool
