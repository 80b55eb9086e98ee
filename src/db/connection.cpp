#include "db/connection.hpp"

#include <string>

namespace solvard::db {

Outcome Connection::settle(Outcome outcome, Diagnostic diagnostic) {
  if (outcome == Outcome::kOk) {
    diagnostic_ = {};
    return outcome;
  }
  diagnostic_ = std::move(diagnostic);
  if (outcome == Outcome::kConnectionLost && open_) {
    // A dropped session cannot be used again; closing it here lets `State` tell the caller that
    // the one remedy is to open it again.
    endSession();
    open_ = false;
    inTransaction_ = false;
  }
  return outcome;
}

Outcome Connection::refuse(std::string_view sqlState, std::string message) {
  diagnostic_ = {std::string(sqlState), 0, std::move(message)};
  return Outcome::kFailed;
}

Outcome Connection::requireOpen() {
  if (open_) return Outcome::kOk;
  return refuse(states::kNotConnected, "the connection is not open");
}

Outcome Connection::CursorLocation(int32_t location) {
  if (location != kUseServer && location != kUseClient) {
    return refuse(states::kGeneral, "cursor location " + std::to_string(location) +
                                        " is neither 2 (server) nor 3 (client)");
  }
  cursorLocation_ = location;
  diagnostic_ = {};
  return Outcome::kOk;
}

Outcome Connection::Open(std::string_view text, std::string_view user, std::string_view password,
                         int32_t /*options*/) {
  if (open_) return refuse(states::kSequence, "the connection is already open");
  if (!text.empty()) connectionString_ = std::string(text);
  Diagnostic diagnostic;
  const Outcome outcome = openSession(connectionString_, user, password, diagnostic);
  if (outcome == Outcome::kOk) {
    open_ = true;
    inTransaction_ = false;
    ++session_;
    diagnostic_ = {};
    return outcome;
  }
  // A session that never started is a plain failure to open, whatever the driver's state.
  diagnostic_ = std::move(diagnostic);
  return Outcome::kFailed;
}

Outcome Connection::BeginTrans() {
  if (requireOpen() != Outcome::kOk) return Outcome::kFailed;
  if (inTransaction_) {
    return refuse(states::kSequence, "a transaction is already open on this connection");
  }
  Diagnostic diagnostic;
  const Outcome outcome = beginTransaction(diagnostic);
  if (outcome == Outcome::kOk) inTransaction_ = true;
  return settle(outcome, std::move(diagnostic));
}

Outcome Connection::Execute(std::string_view statement) {
  if (requireOpen() != Outcome::kOk) return Outcome::kFailed;
  Diagnostic diagnostic;
  const Outcome outcome = executeText(statement, diagnostic);
  return settle(outcome, std::move(diagnostic));
}

Outcome Connection::CommitTrans() {
  if (requireOpen() != Outcome::kOk) return Outcome::kFailed;
  if (!inTransaction_) return refuse(states::kInvalidTransaction, "no transaction is open");
  Diagnostic diagnostic;
  const Outcome outcome = endTransaction(true, diagnostic);
  if (outcome == Outcome::kOk) inTransaction_ = false;
  return settle(outcome, std::move(diagnostic));
}

Outcome Connection::RollbackTrans() {
  if (requireOpen() != Outcome::kOk) return Outcome::kFailed;
  if (!inTransaction_) return refuse(states::kInvalidTransaction, "no transaction is open");
  Diagnostic diagnostic;
  const Outcome outcome = endTransaction(false, diagnostic);
  if (outcome == Outcome::kOk) inTransaction_ = false;
  return settle(outcome, std::move(diagnostic));
}

Outcome Connection::Close() {
  if (requireOpen() != Outcome::kOk) return Outcome::kFailed;
  endSession();
  open_ = false;
  inTransaction_ = false;
  diagnostic_ = {};
  return Outcome::kOk;
}

std::unique_ptr<PreparedStatement> Connection::prepare(std::string_view statement) {
  if (requireOpen() != Outcome::kOk) return nullptr;
  Diagnostic diagnostic;
  std::unique_ptr<StatementHandle> handle = prepareText(statement, diagnostic);
  if (!handle) {
    const Outcome outcome =
        isConnectionLostState(diagnostic.sqlState) ? Outcome::kConnectionLost : Outcome::kFailed;
    settle(outcome, std::move(diagnostic));
    return nullptr;
  }
  diagnostic_ = {};
  return std::make_unique<PreparedStatement>(*this, std::move(handle), session_);
}

Outcome Connection::queryRows(std::string_view statement, Rows& rows) {
  rows.clear();
  if (requireOpen() != Outcome::kOk) return Outcome::kFailed;
  Diagnostic diagnostic;
  const Outcome outcome = queryText(statement, rows, diagnostic);
  if (outcome != Outcome::kOk) rows.clear();
  return settle(outcome, std::move(diagnostic));
}

bool Connection::isAlive() {
  if (requireOpen() != Outcome::kOk) return false;
  Diagnostic diagnostic;
  const Outcome outcome = ping(diagnostic);
  if (outcome == Outcome::kConnectionLost) {
    settle(outcome, std::move(diagnostic));
    return false;
  }
  diagnostic_ = {};
  return true;
}

Outcome PreparedStatement::execute(std::span<const std::string_view> values) {
  Connection& owner = owner_;
  if (owner.requireOpen() != Outcome::kOk) return Outcome::kFailed;
  if (owner.session_ != session_) {
    return owner.refuse(states::kSequence,
                        "the statement was prepared in a session that has ended; prepare it again");
  }
  Diagnostic diagnostic;
  const Outcome outcome = handle_->execute(values, diagnostic);
  return owner.settle(outcome, std::move(diagnostic));
}

}  // namespace solvard::db
