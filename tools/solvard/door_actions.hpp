#pragma once

#include <string>

#include "action_report.hpp"
#include "line_options.hpp"

namespace solvard::tool {

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

// Runs door action `action` ("open", "mode", "time", "allow", "download", ...) with its words:
// one exchange with the terminal (a download: every record), reported as the command prints it.
// A value the terminal cannot be sent raises CLI::ValidationError before the line is touched.
ActionReport runDoorAction(const std::string& action, const DoorWords& words);

// The checks of the time action's words that no single option can make (--now alone, a
// weekday only with a date); raises CLI::ValidationError.
void checkTimeWords(const DoorWords& words);

}  // namespace solvard::tool
