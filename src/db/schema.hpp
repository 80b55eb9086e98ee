#pragma once

#include <string_view>

#include "db/connection.hpp"
#include "db/diagnostic.hpp"

namespace solvard::db {

// The tables the downloads write to. The native downloads make them in an SQLite file where they
// are missing (native/sqlite_tables.hpp), and so the `solvard` command does; any other database
// is the host's business, and sql/<engine>/ holds the same tables as scripts for the other
// engines. The automation classes never make them. Every column is text.

// `WorkCardSource` and `WorkCardReadTime`: MachineNo, CardNo, CardDate, CardTime.
// Creates each one that is missing, on an open connection with no transaction open (a failed
// probe would spoil one). Gives an empty diagnostic on success, else why it failed.
Diagnostic ensureAttendanceTables(Connection& connection);

// An access-record table of the host's name: CardNo, RecordDate, RecordTime. A name the
// access-record download would refuse (isTableName, table_name.hpp) is refused here too, before
// anything is sent.
Diagnostic ensureAccessRecordTable(Connection& connection, std::string_view table);

}  // namespace solvard::db
