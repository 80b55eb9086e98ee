#include <CLI/CLI.hpp>
#include <memory>

#include "action_command.hpp"
#include "attend_download.hpp"
#include "commands.hpp"
#include "line_options.hpp"
#include "printable_text.hpp"
#include "solvard/attend_terminal.hpp"
#include "value_options.hpp"

namespace solvard::tool {
namespace {

using json = nlohmann::ordered_json;

struct AttendWords {
  LineOptions line;
  std::string card, flow, original, database;
  bool now = false;
  std::string date, time;
};

ActionReport acknowledgement(const std::string& command, const AttendWords& w, Result<void> outcome,
                             const std::string& done, json result = nullptr) {
  ActionReport report{command, w.line.machine};
  if (!outcome) {
    report.error = outcome.error();
  } else {
    report.result = std::move(result);
    report.done = "terminal " + std::to_string(w.line.machine) + " acknowledged: " + done;
  }
  return report;
}

ActionReport runAttend(const std::string& action, const AttendWords& w) {
  if (action == "download") return downloadAttendance(w.line, w.database);
  const std::string command = "attend " + action;
  std::optional<ShortCardNumber> card, flow;
  std::optional<CardNumber> original;
  if (action == "delete-card") card = readShortCard("--card", w.card);
  if (action == "flow") {
    flow = readShortCard("--flow", w.flow);
    original = readCard("--original", w.original);
  }
  ActionLine line(w.line);
  AttendTerminal clock(line.line(), MachineNumber::make(w.line.machine).value());
  if (action == "clear-records") {
    return acknowledgement(command, w, clock.clearRecords(), "stored records cleared");
  }
  if (action == "clear-cards") {
    return acknowledgement(command, w, clock.clearCardList(), "card list cleared");
  }
  if (action == "delete-card") {
    return acknowledgement(command, w, clock.deleteCard(*card),
                           "card " + card->digits() + " deleted", {{"card", card->digits()}});
  }
  if (action == "flow") {
    return acknowledgement(command, w, clock.setFlowNumber(*flow, *original),
                           "card " + original->digits() + " given flow number " + flow->digits(),
                           {{"flow", flow->digits()}, {"original", original->digits()}});
  }
  ActionReport report{command, w.line.machine};
  if (auto read = clock.readOriginalCard()) {
    report.result = read->digits();
    report.done =
        "terminal " + std::to_string(w.line.machine) + ": original card number " + read->digits();
  } else {
    report.error = read.error();
  }
  return report;
}

ActionReport runClockSet(const AttendWords& w) {
  if (w.now == (!w.date.empty() || !w.time.empty())) {
    throw CLI::ValidationError("clock set", "give --now, or --date and/or --time");
  }
  std::optional<Date> date;
  std::optional<TimeOfDay> time;
  if (!w.date.empty()) date = readDate("--date", w.date);
  if (!w.time.empty()) time = readTime("--time", w.time);
  ActionLine line(w.line);
  AttendTerminal clock(line.line(), MachineNumber::make(w.line.machine).value());
  if (w.now) {
    const auto wallClock = localNow();
    const auto day = std::chrono::floor<std::chrono::days>(wallClock);
    date = Date::make(std::chrono::year_month_day(day)).value();
    const std::chrono::hh_mm_ss clockTime(wallClock - day);
    time = TimeOfDay::make(int(clockTime.hours().count()), int(clockTime.minutes().count()),
                           int(clockTime.seconds().count()))
               .value();
  }
  json result = json::object();
  std::string done;
  if (date) {
    // Without the date acknowledged there is no point in waiting for the time as well.
    if (auto set = clock.setDate(*date); !set) return acknowledgement("clock set", w, set, "");
    result["date"] = dateText(*date);
    done = "date " + dateText(*date);
  }
  if (time) {
    if (auto set = clock.setTime(*time); !set) {
      ActionReport report = acknowledgement("clock set", w, set, "");
      if (!done.empty()) report.hint = "the " + done + " had been acknowledged";
      return report;
    }
    result["time"] = timeText(*time);
    done += (done.empty() ? "" : ", ") + ("time " + timeText(*time));
  }
  return acknowledgement("clock set", w, {}, done, result);
}

}  // namespace

void addAttendCommand(CLI::App& app, int& status) {
  CLI::App* attend = app.add_subcommand("attend", "drive an attendance (time-clock) terminal");
  attend->require_subcommand(1);
  attend->footer(
      "Each action is one exchange with attendance terminal -m on the line at -p (see also "
      "'solvard clock set'). Exit status: 0 acknowledged (download: records written, or none "
      "stored), 1 the terminal or the line failed, 2 a usage error, 3 the database failed.");
  const auto action = actionAdder<AttendWords>(*attend, status, runAttend);
  action("clear-records", "forget the records the terminal stores (download them first)");
  action("clear-cards", "forget the terminal's card list");
  auto remove = action("delete-card", "take a card off the terminal's list");
  remove.command->add_option("--card", remove.words->card, "the card, up to six digits")
      ->required();
  auto flow = action("flow", "give a card its flow number");
  flow.command->add_option("--flow", flow.words->flow, "the flow number, up to six digits")
      ->required();
  flow.command
      ->add_option("--original", flow.words->original,
                   "the card's original number, up to ten digits")
      ->required();
  action("card-number", "read the ten-digit number of the card last presented");
  auto download =
      action("download", "download every record into WorkCardSource and WorkCardReadTime");
  download.command
      ->add_option("-d,--db", download.words->database,
                   "an SQLite file (tables made when missing) or a connection text")
      ->required()
      ->envname("SOLVARD_DB")
      ->check(CLI::Validator([](std::string& text) { return controlCharacterProblem(text); }, ""));
  addProgressOptions(*download.command, download.words->line);
}

void addClockCommand(CLI::App& app, int& status) {
  auto words = std::make_shared<AttendWords>();
  CLI::App* clock = app.add_subcommand("clock", "set an attendance terminal's clock");
  clock->require_subcommand(1);
  CLI::App* set = clock->add_subcommand("set", "set the date, then the time");
  addLineOptions(*set, words->line);
  set->add_flag("--now", words->now, "this computer's local date and time");
  set->add_option("--date", words->date, "the date, yyyy-MM-dd (2000 to 2099)");
  set->add_option("--time", words->time, "the time of day, HH:mm:ss");
  set->footer(
      "Exit status: 0 every setting acknowledged, 1 the terminal or the line failed, 2 a usage "
      "error.");
  set->callback([words, &status] { status = finish(runClockSet(*words), words->line.json); });
}

}  // namespace solvard::tool
