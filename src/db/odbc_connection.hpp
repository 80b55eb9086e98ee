#pragma once

#include <memory>

#include "db/connection.hpp"

namespace solvard::db {

// A connection through the platform's ODBC driver manager: unixODBC on Linux, the system's on
// Windows. Its connection text is read by `odbcConnectionText` (connection_text.hpp), so a plain
// file path opens an SQLite database through the driver `SQLite3`. Statements run as the driver
// takes them (no dialect translation); automatic commit is on outside `BeginTrans` ...
// `CommitTrans`/`RollbackTrans`. `isAlive` asks the driver whether the connection is dead, then
// makes a round trip with "select 1".
std::unique_ptr<Connection> makeOdbcConnection();

}  // namespace solvard::db
