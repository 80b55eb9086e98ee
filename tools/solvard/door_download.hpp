#pragma once

#include <string>

#include "action_report.hpp"
#include "line_options.hpp"

namespace solvard::tool {

// `solvard door download`: the records of the terminal into `table` of `database` (a
// connection text with "=", or an SQLite file whose table is made when missing), each committed
// before the terminal is prompted for the next, with the progress on standard error. A record
// the database refused is kept in the user's state folder and written first by the next
// download of that terminal.
ActionReport downloadDoor(const LineOptions& options, const std::string& table,
                          const std::string& database);

}  // namespace solvard::tool
