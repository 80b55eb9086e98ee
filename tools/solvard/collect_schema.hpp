#pragma once

#include <string>

#include "db/connection.hpp"

namespace solvard::tool {

// The collector's own tables, so that a later release can tell which layout a database holds
// and change it: solvard_schema(version) holds kCollectSchemaVersion.
//
// Layout 2: each record row carries its occurrence (the record's identity: a door record's
// own, made when it arrived; for a clock "c<clears>.<n>", the n-th record of that card, date and
// time since the clock was last cleared by the collector) and the pass that stored it, unique
// by line, machine, card, date, time and occurrence; solvard_ledger holds one row per pass per
// terminal. Layout 1 (unique by card, date and time, so a card presented twice in a minute was
// one row) is migrated in one transaction, every row kept once.
inline constexpr int kCollectSchemaVersion = 2;

// Makes the collector's tables where they are missing, on an open connection with no
// transaction open, migrating an earlier layout. Gives the problem, empty when the tables are
// ready. A database of a newer layout is refused.
std::string prepareCollectTables(db::Connection& connection);

// A text as an SQL string literal.
std::string sqlText(const std::string& text);

}  // namespace solvard::tool
