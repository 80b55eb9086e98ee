#pragma once

#include <string>

#include "db/connection.hpp"

namespace solvard::tool {

// The collector's own tables, so that a later release can tell which layout a database holds
// and change it: solvard_schema(version) holds kCollectSchemaVersion.
inline constexpr int kCollectSchemaVersion = 1;

// Makes the collector's tables where they are missing, on an open connection with no
// transaction open: solvard_schema, attendance_records and access_records, each record unique
// by line, machine, card, date and time so that a record collected twice is stored once. Gives
// the problem, empty when the tables are ready. A database of a newer layout is refused.
std::string prepareCollectTables(db::Connection& connection);

}  // namespace solvard::tool
