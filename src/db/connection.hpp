#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "db/diagnostic.hpp"

namespace solvard::db {

// The values hosts of a database component know for `State`, `CursorLocation` and the options
// of `Open`.
inline constexpr int32_t kStateClosed = 0;  // adStateClosed
inline constexpr int32_t kStateOpen = 1;    // adStateOpen
inline constexpr int32_t kUseServer = 2;    // adUseServer, server-side cursors
inline constexpr int32_t kUseClient = 3;    // adUseClient, client-side cursors
inline constexpr int32_t kOptionUnspecified = -1;

// How an operation ended. A failure leaves its reason in `lastDiagnostic()`. A lost connection
// is a failure after which the session is gone: the connection has closed itself (`State` 0),
// so opening it again (`Open()` with no arguments reuses its connection text) is the one remedy.
enum class Outcome { kOk, kFailed, kConnectionLost };

using Row = std::vector<std::string>;
using Rows = std::vector<Row>;

class Connection;

// A backend's part of a prepared statement.
class StatementHandle {
 public:
  virtual ~StatementHandle() = default;
  // Runs the statement with `values` bound, in order, as text parameters; any result set is
  // released at once.
  virtual Outcome execute(std::span<const std::string_view> values, Diagnostic& diagnostic) = 0;
  // The rows the last execution inserted, changed or deleted; -1 when the backend cannot say.
  virtual int64_t changedRows() const { return -1; }
};

// A statement with '?' markers compiled once and run many times with bound text values: the
// faster path for the downloads' row inserts. It belongs to the session it was prepared in:
// once that session is closed or lost, it fails and must be prepared again on the reopened
// connection. It must not be used after its connection is destroyed (destroying it is safe).
class PreparedStatement {
 public:
  PreparedStatement(Connection& owner, std::unique_ptr<StatementHandle> handle, uint64_t session)
      : owner_(owner), handle_(std::move(handle)), session_(session) {}

  Outcome execute(std::span<const std::string_view> values);
  Outcome execute(std::initializer_list<std::string_view> values) {
    return execute(std::span<const std::string_view>(values.begin(), values.size()));
  }
  // The rows the last execution inserted, changed or deleted (an insert that met a conflict it
  // was told to skip counts only what it wrote); -1 when the backend cannot say.
  int64_t changedRows() const { return handle_->changedRows(); }

 private:
  Connection& owner_;
  std::unique_ptr<StatementHandle> handle_;
  uint64_t session_;
};

// A connection to a relational database, with the operations and effects the downloads rely on
// (`State`, `ConnectionString`, `Open`, `CursorLocation`, `BeginTrans`, `Execute`,
// `CommitTrans`, `Close`, and `RollbackTrans`). Failures are results plus a kept diagnostic,
// never exceptions. This class keeps the rules every backend shares (state, transaction
// bookkeeping, closing a lost session); a backend supplies the session operations below.
class Connection {
 public:
  virtual ~Connection() = default;
  Connection() = default;
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // kStateClosed or kStateOpen.
  int32_t State() const { return open_ ? kStateOpen : kStateClosed; }

  // The host's connection text, as given (see connection_text.hpp for the forms understood).
  const std::string& ConnectionString() const { return connectionString_; }
  void ConnectionString(std::string text) { connectionString_ = std::move(text); }

  // Stored and reported back, kUseServer (the default) or kUseClient; another value is refused.
  // It has no effect on how statements run: the downloads fetch no rows through cursors.
  int32_t CursorLocation() const { return cursorLocation_; }
  Outcome CursorLocation(int32_t location);

  // Opens a session. A non-empty `text` replaces `ConnectionString` first; a user or password
  // given here adds to (and takes precedence over) those in the text. `options` is accepted for
  // its familiar signature and ignored: opening is always synchronous. Opening an open
  // connection fails.
  Outcome Open(std::string_view text = {}, std::string_view user = {},
               std::string_view password = {}, int32_t options = kOptionUnspecified);

  // Switches automatic commit off until `CommitTrans` or `RollbackTrans`. Transactions do not
  // nest: beginning one while one is open fails and leaves the open one as it is.
  Outcome BeginTrans();
  // Executes the complete statement text as it stands: no count of affected records is
  // requested and any result set is released at once.
  Outcome Execute(std::string_view statement);
  // End the open transaction and switch automatic commit back on. Without one they fail. A
  // commit that fails leaves the transaction open, so that it can still be rolled back.
  Outcome CommitTrans();
  Outcome RollbackTrans();
  // Ends the session; a transaction still open is rolled back. Closing a closed one fails.
  Outcome Close();

  // Compiles a statement with '?' markers; nullptr when that fails (then `lastDiagnostic()`
  // says why, and `State()` tells whether the session was lost on the way).
  std::unique_ptr<PreparedStatement> prepare(std::string_view statement);
  // Runs a query and gives its rows, every value as text (NULL as empty text). For the tools
  // and tests that read back what was written; the downloads do not read.
  Outcome queryRows(std::string_view statement, Rows& rows);
  // Whether the session still reaches its server: false when closed, or when the driver or a
  // round trip finds it dropped (the connection then closes itself, ready to be reopened).
  bool isAlive();

  bool inTransaction() const { return inTransaction_; }
  // The database engine's name as the driver gives it ("PostgreSQL", "SQLite"); empty when
  // closed or not told. It decides which engine-specific questions may be asked (commit_outcome).
  virtual std::string engineName() const { return {}; }
  // The reason of the latest operation's failure; empty after an operation that succeeded.
  const Diagnostic& lastDiagnostic() const { return diagnostic_; }

 protected:
  // The session operations of a backend. Each fills `diagnostic` when it does not succeed, and
  // reports kConnectionLost when the session can no longer be used. They are called only in
  // the states the comments give; the bookkeeping around them is done here.

  // Closed: starts a session.
  virtual Outcome openSession(const std::string& text, std::string_view user,
                              std::string_view password, Diagnostic& diagnostic) = 0;
  // Open (or just lost): ends the session, rolling back what is not committed, and releases
  // every handle, those of prepared statements included. It cannot fail.
  virtual void endSession() = 0;
  // Open: the statement rule of `Execute`.
  virtual Outcome executeText(std::string_view statement, Diagnostic& diagnostic) = 0;
  // Open: automatic commit off, or the transaction ended (commit or rollback) and automatic
  // commit back on.
  virtual Outcome beginTransaction(Diagnostic& diagnostic) = 0;
  virtual Outcome endTransaction(bool commit, Diagnostic& diagnostic) = 0;
  // Open: compiles a statement; nullptr on failure.
  virtual std::unique_ptr<StatementHandle> prepareText(std::string_view statement,
                                                       Diagnostic& diagnostic) = 0;
  virtual Outcome queryText(std::string_view statement, Rows& rows, Diagnostic& diagnostic) = 0;
  // Open: a cheap check that the server still answers. A refusal that is not a lost session
  // (e.g. a dialect without the probe statement) still proves the server is there.
  virtual Outcome ping(Diagnostic& diagnostic) = 0;

 private:
  friend class PreparedStatement;

  // Records the outcome of a session operation; a lost session is ended here.
  Outcome settle(Outcome outcome, Diagnostic diagnostic);
  Outcome refuse(std::string_view sqlState, std::string message);
  Outcome requireOpen();

  std::string connectionString_;
  int32_t cursorLocation_ = kUseServer;
  bool open_ = false;
  bool inTransaction_ = false;
  // Counts sessions, so that a prepared statement can tell it outlived its own.
  uint64_t session_ = 0;
  Diagnostic diagnostic_;
};

}  // namespace solvard::db
