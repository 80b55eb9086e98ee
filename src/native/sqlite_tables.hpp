#pragma once

#include <optional>
#include <string>

#include "solvard/error.hpp"

namespace solvard::native {

// A download into an SQLite file makes the tables it writes to when they are missing, as the
// `solvard` command always has: a host that names a new file gets its records, not "no such
// table". Other databases are the host's to prepare (sql/<engine>/ holds the tables as
// scripts); for them these do nothing. Both run before the terminal is asked, so a file that
// cannot be prepared costs the terminal nothing.
std::optional<Error> prepareAttendanceFile(const std::string& connection);
std::optional<Error> prepareAccessRecordFile(const std::string& connection,
                                             const std::string& table);

}  // namespace solvard::native
