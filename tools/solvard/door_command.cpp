#include <CLI/CLI.hpp>

#include "action_command.hpp"
#include "commands.hpp"
#include "door_actions.hpp"
#include "line_options.hpp"
#include "printable_text.hpp"

namespace solvard::tool {

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
        return runDoorAction(name, words);
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
