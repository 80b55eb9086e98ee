#pragma once

#include <string>

#include "action_report.hpp"
#include "line_options.hpp"

// `solvard attend download` and the demonstration share these.
namespace solvard::tool {

// Every record of the terminal into WorkCardSource and WorkCardReadTime of `database` (a
// connection text with "=", or an SQLite file whose tables are made when missing), in one
// transaction, with the progress on standard error. Named in the sentences by its path when it
// is an SQLite file, else as "the database" (a connection text may hold a password).
ActionReport downloadAttendance(const LineOptions& options, const std::string& database);

}  // namespace solvard::tool
