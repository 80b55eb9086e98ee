#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "db/connection.hpp"
#include "db/timeouts.hpp"

namespace solvard::db {

// A connection through the platform's ODBC driver manager: unixODBC on Linux, the system's on
// Windows. Its connection text is read by `odbcConnectionText` (connection_text.hpp), so a plain
// file path opens an SQLite database through the driver `SQLite3`. Statements run as the driver
// takes them (no dialect translation); automatic commit is on outside `BeginTrans` ...
// `CommitTrans`/`RollbackTrans`. `isAlive` asks the driver whether the connection is dead, then
// makes a round trip with "select 1". A call on a PostgreSQL session that waits on the server
// longer than the session's statement bound plus `kWatchMargin` ends as a lost session: the
// client shuts the session's socket (statement_watch.hpp), the server having stopped answering.
// What the connection tells beyond its diagnostics (a session that runs unwatched) goes to
// `log`, or nowhere when it is empty.
std::unique_ptr<Connection> makeOdbcConnection(std::function<void(const std::string&)> log = {});

// How a connection is made, for the tests that need another rule than the default.
struct OdbcOptions {
  // How much longer than its statement bound a call on a PostgreSQL session may wait on the
  // server before the client shuts the session's socket and the call ends as a lost session.
  std::chrono::milliseconds watchMargin = kWatchMargin;
  std::function<void(const std::string&)> log;
};

std::unique_ptr<Connection> makeOdbcConnectionWith(const OdbcOptions& options);

}  // namespace solvard::db
