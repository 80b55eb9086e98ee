#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace solvard::db {

// How long a session may wait on its database before the step fails: a login that gets no
// answer, a statement that gets no result, a file another program keeps locked.
inline constexpr std::chrono::seconds kLoginTimeout{10};
inline constexpr std::chrono::seconds kStatementTimeout{30};
// How much longer than its statement bound a call on a PostgreSQL session may wait before the
// client gives the server up and shuts the session's socket (see statement_watch.hpp). The
// server stops a statement at the bound itself and its answer must win, the session then staying
// open: the margin covers that answer's way back (a round trip, a loaded server noticing the
// cancel between two steps of its work, a commit's flush of its log) with room to spare, and
// keeps the step's whole bound close to the one the operator set.
inline constexpr std::chrono::seconds kWatchMargin{5};

// The bounds one session runs under, read from its ODBC connection text. A value the text gives
// for the driver itself wins over the defaults:
// - the SQLite3 driver waits for a locked file as long as its `Timeout` (milliseconds, the
//   driver's own default is 100 s) at every lock wait, and tries a locked statement twice. A
//   text without `Timeout` gets half the login bound, so that opening (which may meet the lock
//   twice) stays within it, and once open the lock wait is set to half the statement bound;
// - psqlODBC takes the login bound as libpq's connect_timeout, and refuses both together, so a
//   text whose `pqopt` names `connect_timeout` keeps its own and the login bound is not given;
// - psqlODBC enforces the statement bound on the server (statement_timeout); a text that sets
//   `statement_timeout` itself (in `ConnSettings` or `pqopt`) keeps its own.
struct SessionBounds {
  std::string odbc;  // the text for the driver, `Timeout` added for SQLite when it names none
  // The login bound, and whether the driver is to be given it (false: the text gives its own).
  std::chrono::milliseconds login{0};
  bool giveLogin = false;
  // The statement bound to give the driver; 0: none (the text sets its own, or SQLite).
  std::chrono::milliseconds statement{0};
  // The SQLite3 driver reports a wait that ran out as a locked database, not as a timeout.
  bool sqlite = false;
  // For SQLite: the lock wait to set once open (0: keep the text's `Timeout`), and the longest
  // a statement may then wait (the driver's two tries), which the diagnostic names.
  std::chrono::milliseconds sqliteLockWait{0};
  std::chrono::milliseconds sqliteStatement{0};
};

SessionBounds sessionBounds(std::string_view odbcText);

// "30 s" (whole seconds, or tenths below ten seconds when not whole).
std::string secondsText(std::chrono::milliseconds bound);
// "timed out after 30 s".
std::string timedOutText(std::chrono::milliseconds bound);

}  // namespace solvard::db
