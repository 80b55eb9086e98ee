#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "db/connection.hpp"

namespace solvard::db {

// What became of a commit whose reply never came: the session dropped after the commit was
// sent, so the server may have committed or not.
enum class CommitState {
  kCommitted,     // the server says the transaction committed
  kNotCommitted,  // the server says it was rolled back: writing it again stores it once
  kUnknown,       // the server cannot tell, or could not be asked
};

// The server's number for the transaction open on `connection`, taken before its commit, so
// that a new session can ask what became of it if the reply to the commit is lost. Empty where
// the engine offers no such question (only PostgreSQL does among the engines served here) or
// the question failed; the failure is left in `lastDiagnostic()` for the caller to weigh (a lost
// session is lost as with any operation).
std::string transactionMarker(Connection& connection);

// Whether the engine of the open `connection` can be asked about a transaction by its marker.
bool tellsCommitOutcome(const Connection& connection);

// What insertMarked appends to an insert so that the server returns the transaction's marker
// with the row.
inline constexpr std::string_view kReturnsMarker = " returning txid_current()";

// Runs the insert `statement` in the open transaction of an engine that tells commit outcomes,
// and gives the transaction's marker with it: the server returns it with the row, so a record
// costs one round trip fewer than asking for the marker first. A marker that does not come back
// that way is asked for as transactionMarker does. The outcome is the insert's.
Outcome insertMarked(Connection& connection, const std::string& statement, std::string& marker);

// Asks the server, on the open session `connection` (a new one: the old one is gone), what
// became of the transaction `marker` names. A transaction the server still shows in progress
// (its old session not yet ended) is asked about again after `pause`, a few times, before it
// counts as unknown.
CommitState askCommitState(Connection& connection, const std::string& marker,
                           const std::function<void()>& pause);

// The pause between questions: a fifth of a second, so a few questions take about a second.
void pauseBeforeAskingAgain();

// "committed", "rolled back", "unknown", for the library's log.
const char* describe(CommitState state);

}  // namespace solvard::db
