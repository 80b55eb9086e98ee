// The ODBC backend. Only the standard ODBC API is used, so the same code builds against unixODBC
// and against the Windows driver manager. The texts cross the driver manager in its own form:
// on Linux through the narrow entry points, as the UTF-8 they are; on Windows through the W
// entry points, as UTF-16 (the narrow ones would read them in the ANSI code page, and Wine's
// odbc32 does not implement them all), converted here and nowhere else.
#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif
#include <sql.h>
#include <sqlext.h>
#ifdef _WIN32
#include <sqlucode.h>
#endif

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstring>
#include <limits>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "db/connection_text.hpp"
#include "db/odbc_connection.hpp"
#include "db/session_socket.hpp"
#include "db/statement_watch.hpp"
#include "db/timeouts.hpp"
#ifdef _WIN32
#include "text/wide_text.hpp"
#endif

namespace solvard::db {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// The SQLite engine's codes for a file another connection keeps locked.
constexpr int32_t kSqliteBusy = 5;
constexpr int32_t kSqliteLocked = 6;
// PostgreSQL's state for a statement the server cancelled, its statement_timeout among reasons.
constexpr std::string_view kQueryCanceled = "57014";

SQLPOINTER wholeSeconds(milliseconds bound) {
  return reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>((bound.count() + 999) / 1000));
}

// A failure that comes when the wait's bound has run out is that wait timing out, whatever words
// the driver found for it (psqlODBC: "timeout expired", or the server's cancelled statement).
void markTimedOut(Diagnostic& diagnostic, milliseconds bound, std::string_view what) {
  diagnostic.message = std::string(what) + timedOutText(bound) + ": " + diagnostic.message;
  diagnostic.sqlState = "HYT00";
}

bool succeeded(SQLRETURN rc) { return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO; }

// SQLSTATE 22021, "character not in repertoire": a text this layer refuses to hand over,
// since it is not well-formed in the encoding the texts are in.
constexpr std::string_view kMalformedText = "22021";

#ifdef _WIN32

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "the W entry points take UTF-16");
using DriverChar = SQLWCHAR;
using DriverString = std::basic_string<SQLWCHAR>;

SQLWCHAR* driverChars(DriverString& text) { return text.data(); }

// A text as the W entry points take it; nothing when it is not well-formed UTF-8, with
// `problem` saying where it is not.
std::optional<std::basic_string<SQLWCHAR>> driverText(std::string_view text, std::string& problem) {
  std::size_t bad = 0;
  const auto utf16 = text::utf16Of(text, &bad);
  if (!utf16) {
    problem = "is not well-formed UTF-8 (at byte " + std::to_string(bad) + ")";
    return std::nullopt;
  }
  return std::basic_string<SQLWCHAR>(utf16->begin(), utf16->end());
}

// What the driver says about itself or a failure, in UTF-8.
std::string fromDriver(const SQLWCHAR* text, std::size_t length) {
  return text::utf8OfLenient(std::u16string(text, text + length));
}

SQLRETURN diagnosticRecord(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT record, SQLWCHAR* state,
                           SQLINTEGER* native, SQLWCHAR* message, SQLSMALLINT capacity,
                           SQLSMALLINT* length) {
  return SQLGetDiagRecW(type, handle, record, state, native, message, capacity, length);
}

#else

using DriverChar = SQLCHAR;
using DriverString = std::string;

SQLCHAR* driverChars(DriverString& text) { return reinterpret_cast<SQLCHAR*>(text.data()); }

std::optional<std::string> driverText(std::string_view text, std::string&) {
  return std::string(text);
}

std::string fromDriver(const SQLCHAR* text, std::size_t length) {
  return std::string(reinterpret_cast<const char*>(text), length);
}

SQLRETURN diagnosticRecord(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT record, SQLCHAR* state,
                           SQLINTEGER* native, SQLCHAR* message, SQLSMALLINT capacity,
                           SQLSMALLINT* length) {
  return SQLGetDiagRec(type, handle, record, state, native, message, capacity, length);
}

#endif

// A statement's text handed over, or the reason it is not, in `diagnostic`.
std::optional<DriverString> statementText(std::string_view text, Diagnostic& diagnostic) {
  std::string problem;
  auto converted = driverText(text, problem);
  if (!converted) diagnostic = {std::string(kMalformedText), 0, "the statement " + problem};
  return converted;
}

SQLRETURN driverConnect(SQLHDBC dbc, DriverString& text) {
#ifdef _WIN32
  return SQLDriverConnectW(dbc, nullptr, driverChars(text), static_cast<SQLSMALLINT>(text.size()),
                           nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT);
#else
  return SQLDriverConnect(dbc, nullptr, driverChars(text), static_cast<SQLSMALLINT>(text.size()),
                          nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT);
#endif
}

SQLRETURN executeDirect(SQLHSTMT stmt, DriverString& text) {
#ifdef _WIN32
  return SQLExecDirectW(stmt, driverChars(text), static_cast<SQLINTEGER>(text.size()));
#else
  return SQLExecDirect(stmt, driverChars(text), static_cast<SQLINTEGER>(text.size()));
#endif
}

SQLRETURN prepareStatement(SQLHSTMT stmt, DriverString& text) {
#ifdef _WIN32
  return SQLPrepareW(stmt, driverChars(text), static_cast<SQLINTEGER>(text.size()));
#else
  return SQLPrepare(stmt, driverChars(text), static_cast<SQLINTEGER>(text.size()));
#endif
}

// Held around the connects that may open a socket (every engine but SQLite's), so that the
// sockets a PostgreSQL session's connect opened are told from those of another session opening
// at the same time. A connect to a server that does not answer holds it for the login bound.
std::mutex& connectingLock() {
  static std::mutex lock;
  return lock;
}

std::optional<int> numberIn(const std::string& text) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// One environment for the process, made at first use and never freed: a connection may live in
// a static object (the downloads' shared connection) that ends after every other teardown.
SQLHENV environment() {
  static const SQLHENV env = []() -> SQLHENV {
    SQLHENV handle = SQL_NULL_HENV;
    if (!succeeded(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &handle))) return SQL_NULL_HENV;
    SQLSetEnvAttr(handle, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    return handle;
  }();
  return env;
}

// A failure as the driver reported it on a handle.
struct Failure {
  Diagnostic diagnostic;
  bool lost = false;
};

// Reads every diagnostic record of a handle: the first gives the SQLSTATE and native code, the
// messages of the others follow. A lost session shows in any record.
Failure readFailure(SQLSMALLINT type, SQLHANDLE handle) {
  Failure failure;
  for (SQLSMALLINT record = 1; record <= 8; ++record) {
    DriverChar state[6] = {};
    SQLINTEGER native = 0;
    std::vector<DriverChar> message(512);
    SQLSMALLINT length = 0;  // in characters of the entry point's kind
    SQLRETURN rc = diagnosticRecord(type, handle, record, state, &native, message.data(),
                                    static_cast<SQLSMALLINT>(message.size()), &length);
    if (succeeded(rc) && length >= static_cast<SQLSMALLINT>(message.size())) {
      message.resize(static_cast<size_t>(length) + 1);
      rc = diagnosticRecord(type, handle, record, state, &native, message.data(),
                            static_cast<SQLSMALLINT>(message.size()), &length);
    }
    if (!succeeded(rc)) break;
    const std::size_t stateLength =
        static_cast<std::size_t>(std::find(state, state + 5, DriverChar{0}) - state);
    const std::string sqlState = fromDriver(state, stateLength);
    const std::string text = fromDriver(
        message.data(), std::min<size_t>(static_cast<size_t>(std::max<SQLSMALLINT>(length, 0)),
                                         message.size() - 1));
    if (record == 1) {
      failure.diagnostic = {sqlState, static_cast<int32_t>(native), text};
    } else {
      failure.diagnostic.message += " | [" + sqlState + "] " + text;
    }
    failure.lost = failure.lost || isConnectionLostState(sqlState);
  }
  if (failure.diagnostic.sqlState.empty()) {
    failure.diagnostic = {std::string(states::kGeneral), 0, "the ODBC driver gave no reason"};
  }
  return failure;
}

bool reportsDead(SQLHDBC dbc) {
  SQLUINTEGER dead = SQL_CD_FALSE;
  return succeeded(
             SQLGetConnectAttr(dbc, SQL_ATTR_CONNECTION_DEAD, &dead, SQL_IS_UINTEGER, nullptr)) &&
         dead == SQL_CD_TRUE;
}

// The engine's name as the driver reports it; empty when it does not say.
std::string dbmsName(SQLHDBC dbc) {
  DriverChar name[64] = {};
  SQLSMALLINT length = 0;  // in bytes
#ifdef _WIN32
  const SQLRETURN rc = SQLGetInfoW(dbc, SQL_DBMS_NAME, name, sizeof name, &length);
#else
  const SQLRETURN rc = SQLGetInfo(dbc, SQL_DBMS_NAME, name, sizeof name, &length);
#endif
  if (!succeeded(rc)) return {};
  const std::size_t most = sizeof name / sizeof name[0] - 1;
  return fromDriver(name,
                    static_cast<std::size_t>(std::find(name, name + most, DriverChar{0}) - name));
}

class OdbcConnection;

// A prepared statement's handle, released with its session.
class OdbcStatement final : public StatementHandle {
 public:
  OdbcStatement(OdbcConnection& owner, SQLHSTMT stmt) : owner_(&owner), stmt_(stmt) {}
  ~OdbcStatement() override;

  Outcome execute(std::span<const std::string_view> values, Diagnostic& diagnostic) override;
  int64_t changedRows() const override { return changed_; }

  // The session ends: the handle goes with it.
  void release() {
    SQLFreeHandle(SQL_HANDLE_STMT, stmt_);
    stmt_ = SQL_NULL_HSTMT;
    owner_ = nullptr;
  }

 private:
  OdbcConnection* owner_;
  SQLHSTMT stmt_;
  int64_t changed_ = -1;
};

class OdbcConnection final : public Connection {
 public:
  OdbcConnection(milliseconds watchMargin, std::function<void(const std::string&)> log)
      : watchMargin_(watchMargin), log_(std::move(log)) {}
  ~OdbcConnection() override {
    if (State() == kStateOpen) endSession();
  }

  // The span of one call to the driver that may wait on the server: the session's watch is armed
  // for it. A failure read with `fail` ends it early, the driver's call having returned.
  class ServerWait {
   public:
    explicit ServerWait(OdbcConnection& owner) : owner_(owner) { owner_.armWatch(); }
    ~ServerWait() { owner_.disarmWatch(); }
    ServerWait(const ServerWait&) = delete;
    ServerWait& operator=(const ServerWait&) = delete;

   private:
    OdbcConnection& owner_;
  };

  void forget(OdbcStatement* statement) { statements_.erase(statement); }

  // Classifies a failure on one of this session's handles; one that is a wait running out is
  // told as a timeout.
  Outcome fail(SQLSMALLINT type, SQLHANDLE handle, Diagnostic& diagnostic) {
    disarmWatch();
    if (socketShut_) {
      // The driver's words are about the socket the watch shut; what counts is why it did.
      diagnostic = {"HYT01", 0,
                    "the server did not answer within " + secondsText(watchBound_) +
                        " and the session was closed"};
      return Outcome::kConnectionLost;
    }
    Failure failure = readFailure(type, handle);
    diagnostic = std::move(failure.diagnostic);
    // A session found lost keeps the driver's state for it, however long that took.
    if (failure.lost) return Outcome::kConnectionLost;
    if (bounds_.sqlite) {
      if (diagnostic.nativeCode == kSqliteBusy || diagnostic.nativeCode == kSqliteLocked) {
        markTimedOut(diagnostic, bounds_.sqliteStatement, "the database file stayed locked: ");
      }
    } else if (bounds_.statement.count() > 0 &&
               (diagnostic.sqlState == "HYT00" || Clock::now() - began_ >= bounds_.statement)) {
      markTimedOut(diagnostic, bounds_.statement, "the statement ");
    } else if (diagnostic.sqlState == "HYT00" ||
               (diagnostic.sqlState == kQueryCanceled &&
                diagnostic.message.find("statement timeout") != std::string::npos)) {
      // A bound the connection text set for itself.
      diagnostic.message =
          "the statement timed out at the bound the connection text sets: " + diagnostic.message;
      diagnostic.sqlState = "HYT00";
    }
    return failure.lost || reportsDead(dbc_) ? Outcome::kConnectionLost : Outcome::kFailed;
  }

  // A statement handle of this session, bounded by the statement timeout, with the clock of
  // its step started.
  SQLHSTMT newStatement() {
    began_ = Clock::now();
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    if (!succeeded(SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &stmt))) return SQL_NULL_HSTMT;
    if (bounds_.statement.count() > 0) {
      SQLSetStmtAttr(stmt, SQL_ATTR_QUERY_TIMEOUT, wholeSeconds(bounds_.statement),
                     SQL_IS_UINTEGER);
    }
    return stmt;
  }

  void startStep() { began_ = Clock::now(); }

 protected:
  Outcome openSession(const std::string& text, std::string_view user, std::string_view password,
                      Diagnostic& diagnostic) override {
    const TranslatedText translated = odbcConnectionText(text);
    if (!translated.ok()) {
      diagnostic = {std::string(states::kCannotConnect), 0, translated.problem};
      return Outcome::kFailed;
    }
    std::string odbc = translated.odbc;
    while (!odbc.empty() && (odbc.back() == ';' || odbc.back() == ' ')) odbc.pop_back();
    if (!user.empty()) odbc += ";" + odbcPart("UID", user);
    if (!password.empty()) odbc += ";" + odbcPart("PWD", password);
    if (odbc.size() > static_cast<size_t>(std::numeric_limits<SQLSMALLINT>::max())) {
      diagnostic = {std::string(states::kCannotConnect), 0, "the connection text is too long"};
      return Outcome::kFailed;
    }

    SessionBounds bounds = sessionBounds(odbc);
    odbc = std::move(bounds.odbc);
    const SQLHENV env = environment();
    if (env == SQL_NULL_HENV) {
      diagnostic = {std::string(states::kGeneral), 0, "the ODBC driver manager cannot start"};
      return Outcome::kFailed;
    }
    std::string problem;
    auto driverOdbc = driverText(odbc, problem);
    if (!driverOdbc) {
      diagnostic = {std::string(states::kCannotConnect), 0, "the connection text " + problem};
      return Outcome::kFailed;
    }
    SQLHDBC dbc = SQL_NULL_HDBC;
    if (!succeeded(SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc))) {
      diagnostic = readFailure(SQL_HANDLE_ENV, env).diagnostic;
      return Outcome::kFailed;
    }
    if (bounds.giveLogin) {
      SQLSetConnectAttr(dbc, SQL_ATTR_LOGIN_TIMEOUT, wholeSeconds(bounds.login), SQL_IS_UINTEGER);
    }
    const Clock::time_point began = Clock::now();
    // The sockets before and after the connect, to find the one it opened.
    std::vector<StreamSocket> before;
    std::vector<StreamSocket> after;
    std::unique_lock<std::mutex> connecting;
    if (!bounds.sqlite && listsSockets()) {
      connecting = std::unique_lock<std::mutex>(connectingLock());
      before = streamSockets();
    }
    const SQLRETURN rc = driverConnect(dbc, *driverOdbc);
    if (connecting) {
      if (succeeded(rc)) after = streamSockets();
      connecting.unlock();
    }
    if (!succeeded(rc)) {
      diagnostic = readFailure(SQL_HANDLE_DBC, dbc).diagnostic;
      if (bounds.login.count() > 0 &&
          (diagnostic.sqlState == "HYT00" || Clock::now() - began >= bounds.login)) {
        markTimedOut(diagnostic, bounds.login, "the login ");
      }
      SQLFreeHandle(SQL_HANDLE_DBC, dbc);
      return Outcome::kFailed;
    }
    dbc_ = dbc;
    engine_ = dbmsName(dbc);
    bounds_ = std::move(bounds);
    if (engine_.starts_with("PostgreSQL")) watchSession(before, after);
    if (bounds_.sqliteLockWait.count() > 0) {
      // Opening waited on a lock as briefly as the login bound allows; a statement may wait
      // longer. This replaces the driver's wait with the engine's own, of the same kind.
      Diagnostic ignored;
      executeText("PRAGMA busy_timeout=" + std::to_string(bounds_.sqliteLockWait.count()), ignored);
    }
    return Outcome::kOk;
  }

  void endSession() override {
    for (OdbcStatement* statement : statements_) statement->release();
    statements_.clear();
    // A connection cannot be ended with a transaction open; what was not committed is undone.
    if (inTransaction()) {
      ServerWait wait(*this);
      SQLEndTran(SQL_HANDLE_DBC, dbc_, SQL_ROLLBACK);
    }
    // The socket closes with the session: the watch forgets it first.
    socket_.reset();
    socketShut_ = false;
    SQLDisconnect(dbc_);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
    dbc_ = SQL_NULL_HDBC;
    engine_.clear();
  }

  std::string engineName() const override { return engine_; }

  Outcome executeText(std::string_view statement, Diagnostic& diagnostic) override {
    auto text = statementText(statement, diagnostic);
    if (!text) return Outcome::kFailed;
    SQLHSTMT stmt = newStatement();
    if (stmt == SQL_NULL_HSTMT) return fail(SQL_HANDLE_DBC, dbc_, diagnostic);
    ServerWait wait(*this);
    const SQLRETURN rc = executeDirect(stmt, *text);
    // A statement that touches no row ends with SQL_NO_DATA; it still did what it was asked.
    const Outcome outcome =
        succeeded(rc) || rc == SQL_NO_DATA ? Outcome::kOk : fail(SQL_HANDLE_STMT, stmt, diagnostic);
    // Freeing the handle releases any result set at once, unread.
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    return outcome;
  }

  Outcome beginTransaction(Diagnostic& diagnostic) override {
    return setAutocommit(false, diagnostic);
  }

  Outcome endTransaction(bool commit, Diagnostic& diagnostic) override {
    startStep();
    ServerWait wait(*this);
    if (!succeeded(SQLEndTran(SQL_HANDLE_DBC, dbc_, commit ? SQL_COMMIT : SQL_ROLLBACK))) {
      const Outcome outcome = fail(SQL_HANDLE_DBC, dbc_, diagnostic);
      if (commit && socketShut_) {
        diagnostic.message += ": whether the transaction committed is unknown";
      }
      return outcome;
    }
    return setAutocommit(true, diagnostic);
  }

  std::unique_ptr<StatementHandle> prepareText(std::string_view statement,
                                               Diagnostic& diagnostic) override {
    auto text = statementText(statement, diagnostic);
    if (!text) return nullptr;
    SQLHSTMT stmt = newStatement();
    if (stmt == SQL_NULL_HSTMT) {
      fail(SQL_HANDLE_DBC, dbc_, diagnostic);
      return nullptr;
    }
    ServerWait wait(*this);
    if (!succeeded(prepareStatement(stmt, *text))) {
      fail(SQL_HANDLE_STMT, stmt, diagnostic);
      SQLFreeHandle(SQL_HANDLE_STMT, stmt);
      return nullptr;
    }
    auto handle = std::make_unique<OdbcStatement>(*this, stmt);
    statements_.insert(handle.get());
    return handle;
  }

  Outcome queryText(std::string_view statement, Rows& rows, Diagnostic& diagnostic) override {
    auto text = statementText(statement, diagnostic);
    if (!text) return Outcome::kFailed;
    SQLHSTMT stmt = newStatement();
    if (stmt == SQL_NULL_HSTMT) return fail(SQL_HANDLE_DBC, dbc_, diagnostic);
    ServerWait wait(*this);
    Outcome outcome = Outcome::kOk;
    SQLSMALLINT columns = 0;
    if (!succeeded(executeDirect(stmt, *text)) || !succeeded(SQLNumResultCols(stmt, &columns))) {
      outcome = fail(SQL_HANDLE_STMT, stmt, diagnostic);
    }
    while (outcome == Outcome::kOk && columns > 0) {
      const SQLRETURN rc = SQLFetch(stmt);
      if (rc == SQL_NO_DATA) break;
      Row row(static_cast<size_t>(columns));
      const RowRead read = succeeded(rc) ? readRow(stmt, row, diagnostic) : RowRead::kDriverFailed;
      if (read == RowRead::kMalformedText) {
        outcome = Outcome::kFailed;
        break;
      }
      if (read == RowRead::kDriverFailed) {
        outcome = fail(SQL_HANDLE_STMT, stmt, diagnostic);
        break;
      }
      rows.push_back(std::move(row));
    }
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    return outcome;
  }

  Outcome ping(Diagnostic& diagnostic) override {
    if (reportsDead(dbc_)) {
      diagnostic = {"08S01", 0, "the ODBC driver reports the connection dead"};
      return Outcome::kConnectionLost;
    }
    return executeText("select 1", diagnostic);
  }

 private:
  Outcome setAutocommit(bool on, Diagnostic& diagnostic) {
    const auto value = on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF;
    ServerWait wait(*this);
    if (!succeeded(SQLSetConnectAttr(dbc_, SQL_ATTR_AUTOCOMMIT,
                                     reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(value)),
                                     SQL_IS_UINTEGER))) {
      return fail(SQL_HANDLE_DBC, dbc_, diagnostic);
    }
    return Outcome::kOk;
  }

  enum class RowRead { kOk, kDriverFailed, kMalformedText };

#ifdef _WIN32
  // Reads every column of the fetched row as UTF-16 text, in pieces for long values, and hands
  // it on as UTF-8; a text that is not well-formed UTF-16 is refused, with the diagnostic.
  static RowRead readRow(SQLHSTMT stmt, Row& row, Diagnostic& diagnostic) {
    SQLWCHAR piece[256];
    // The bytes of text one piece holds, less the terminating character.
    constexpr SQLLEN kPieceText = static_cast<SQLLEN>(sizeof piece - sizeof piece[0]);
    for (size_t column = 0; column < row.size(); ++column) {
      std::u16string value;
      while (true) {
        SQLLEN length = 0;  // in bytes
        const SQLRETURN rc = SQLGetData(stmt, static_cast<SQLUSMALLINT>(column + 1), SQL_C_WCHAR,
                                        piece, sizeof piece, &length);
        if (rc == SQL_NO_DATA || (succeeded(rc) && length == SQL_NULL_DATA)) break;
        if (!succeeded(rc)) return RowRead::kDriverFailed;
        const bool truncated = length == SQL_NO_TOTAL || length > kPieceText;
        const SQLLEN bytes = truncated ? kPieceText : std::max<SQLLEN>(length, 0);
        value.append(piece, piece + bytes / static_cast<SQLLEN>(sizeof piece[0]));
        if (!truncated) break;
      }
      std::size_t bad = 0;
      auto text = text::utf8Of(value, &bad);
      if (!text) {
        diagnostic = {std::string(kMalformedText), 0,
                      "column " + std::to_string(column + 1) +
                          " of a row read is not well-formed UTF-16 (at unit " +
                          std::to_string(bad) + ")"};
        return RowRead::kMalformedText;
      }
      row[column] = std::move(*text);
    }
    return RowRead::kOk;
  }
#else
  // Reads every column of the fetched row as text, in pieces for long values.
  static RowRead readRow(SQLHSTMT stmt, Row& row, Diagnostic&) {
    char piece[256];
    for (size_t column = 0; column < row.size(); ++column) {
      while (true) {
        SQLLEN length = 0;
        const SQLRETURN rc = SQLGetData(stmt, static_cast<SQLUSMALLINT>(column + 1), SQL_C_CHAR,
                                        piece, sizeof piece, &length);
        if (rc == SQL_NO_DATA || (succeeded(rc) && length == SQL_NULL_DATA)) break;
        if (!succeeded(rc)) return RowRead::kDriverFailed;
        const bool truncated =
            length == SQL_NO_TOTAL || length >= static_cast<SQLLEN>(sizeof piece);
        row[column].append(piece, truncated ? sizeof piece - 1 : static_cast<size_t>(length));
        if (!truncated) break;
      }
    }
    return RowRead::kOk;
  }
#endif

  // Finds the socket the connect opened and the bound the server keeps for statements, and
  // watches the session with them; a session without either runs unwatched, and the log says so.
  // The ports the server names tell the session's socket from those other threads open at the
  // same time; a server reached through a relay or an address translation names the relay's
  // ports, so such a session runs unwatched rather than risk shutting a socket not its own.
  void watchSession(const std::vector<StreamSocket>& before,
                    const std::vector<StreamSocket>& after) {
    if (!listsSockets()) {
      // Told once per connection, as below.
      if (!toldUnwatched_) {
        tell(
            "PostgreSQL sessions run without a client-side watch on this platform: a server that "
            "stops answering mid-statement holds the call until it answers again");
      }
      toldUnwatched_ = true;
      return;
    }
    Rows rows;
    Diagnostic diagnostic;
    std::string problem;
    std::optional<SocketId> socket;
    // The server's own view of the connection's ports (none over a Unix-domain socket), and the
    // statement bound a text that sets its own gave it, in milliseconds.
    if (queryText("select inet_client_port(), inet_server_port(), (select setting from "
                  "pg_settings where name = 'statement_timeout')",
                  rows, diagnostic) != Outcome::kOk ||
        rows.size() != 1 || rows.front().size() != 3) {
      problem = "the server did not say which connection it sees (" + diagnostic.text() + ")";
    } else {
      const Row& row = rows.front();
      socket = chooseSessionSocket(before, after, {numberIn(row[0]), numberIn(row[1])}, problem);
      const milliseconds statement = bounds_.statement.count() > 0
                                         ? bounds_.statement
                                         : milliseconds(numberIn(row[2]).value_or(0));
      if (socket && statement.count() == 0) {
        socket.reset();
        problem = "its connection text turns the server's statement bound off";
      }
      watchBound_ = statement + watchMargin_;
    }
    if (!socket) {
      // Told once per connection: its sessions opened again meet the same server the same way.
      if (!toldUnwatched_) {
        tell("the PostgreSQL session runs without a client-side watch: " + problem +
             "; a server that stops answering mid-statement holds the call until it "
             "answers again");
      }
      toldUnwatched_ = true;
      return;
    }
    socket_ = socket;
  }

  void armWatch() {
    if (!socket_ || ticket_) return;
    ticket_ = sessionWatchdog().arm(watchBound_, [socket = *socket_] { shutSocket(socket); });
  }

  void disarmWatch() {
    if (!ticket_) return;
    if (sessionWatchdog().disarm(*ticket_)) socketShut_ = true;
    ticket_.reset();
  }

  SQLHDBC dbc_ = SQL_NULL_HDBC;
  std::string engine_;
  std::set<OdbcStatement*> statements_;
  SessionBounds bounds_;
  // When the step now running began, to tell a failure that came at its bound.
  Clock::time_point began_;
  // The watch of a PostgreSQL session: its socket (none: unwatched), how long a call may wait
  // on the server before the socket is shut, the call armed now, and whether the socket was shut.
  // A log that fails loses the line, not the call.
  void tell(const std::string& line) const {
    try {
      if (log_) log_(line);
    } catch (...) {
    }
  }

  const milliseconds watchMargin_;
  const std::function<void(const std::string&)> log_;
  std::optional<SocketId> socket_;
  milliseconds watchBound_{0};
  std::optional<uint64_t> ticket_;
  bool socketShut_ = false;
  bool toldUnwatched_ = false;
};

OdbcStatement::~OdbcStatement() {
  if (owner_ == nullptr) return;
  owner_->forget(this);
  SQLFreeHandle(SQL_HANDLE_STMT, stmt_);
}

Outcome OdbcStatement::execute(std::span<const std::string_view> values, Diagnostic& diagnostic) {
  if (owner_ == nullptr) {
    diagnostic = {std::string(states::kSequence), 0, "the statement's session has ended"};
    return Outcome::kFailed;
  }
  owner_->startStep();
  OdbcConnection::ServerWait wait(*owner_);
  SQLFreeStmt(stmt_, SQL_RESET_PARAMS);
  // The driver reads the values and their lengths when the statement runs, so both stay put
  // until then; an empty value still needs a valid address.
  std::vector<SQLLEN> lengths(values.size());
#ifdef _WIN32
  // Every value converted before any is bound: one that cannot be fails the step alone.
  std::vector<std::basic_string<SQLWCHAR>> texts(values.size());
  for (size_t i = 0; i < values.size(); ++i) {
    std::string problem;
    auto text = driverText(values[i], problem);
    if (!text) {
      diagnostic = {std::string(kMalformedText), 0,
                    "value " + std::to_string(i + 1) + " of the statement " + problem};
      return Outcome::kFailed;
    }
    texts[i] = std::move(*text);
  }
  static SQLWCHAR empty[] = {0};
  for (size_t i = 0; i < texts.size(); ++i) {
    lengths[i] = static_cast<SQLLEN>(texts[i].size() * sizeof(SQLWCHAR));
    SQLWCHAR* data = texts[i].empty() ? empty : texts[i].data();
    const SQLRETURN rc = SQLBindParameter(
        stmt_, static_cast<SQLUSMALLINT>(i + 1), SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_WVARCHAR,
        std::max<SQLULEN>(texts[i].size(), 1), 0, data, lengths[i], &lengths[i]);
    if (!succeeded(rc)) return owner_->fail(SQL_HANDLE_STMT, stmt_, diagnostic);
  }
#else
  static char empty[] = "";
  for (size_t i = 0; i < values.size(); ++i) {
    lengths[i] = static_cast<SQLLEN>(values[i].size());
    char* data = values[i].empty() ? empty : const_cast<char*>(values[i].data());
    const SQLRETURN rc = SQLBindParameter(
        stmt_, static_cast<SQLUSMALLINT>(i + 1), SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR,
        std::max<SQLULEN>(values[i].size(), 1), 0, data, lengths[i], &lengths[i]);
    if (!succeeded(rc)) return owner_->fail(SQL_HANDLE_STMT, stmt_, diagnostic);
  }
#endif
  const SQLRETURN rc = SQLExecute(stmt_);
  const Outcome outcome = succeeded(rc) || rc == SQL_NO_DATA
                              ? Outcome::kOk
                              : owner_->fail(SQL_HANDLE_STMT, stmt_, diagnostic);
  changed_ = -1;
  SQLLEN count = -1;
  if (outcome == Outcome::kOk && succeeded(SQLRowCount(stmt_, &count))) changed_ = count;
  SQLFreeStmt(stmt_, SQL_CLOSE);
  return outcome;
}

}  // namespace

std::unique_ptr<Connection> makeOdbcConnection(std::function<void(const std::string&)> log) {
  return makeOdbcConnectionWith({.watchMargin = kWatchMargin, .log = std::move(log)});
}

std::unique_ptr<Connection> makeOdbcConnectionWith(const OdbcOptions& options) {
  return std::make_unique<OdbcConnection>(options.watchMargin, options.log);
}

}  // namespace solvard::db
