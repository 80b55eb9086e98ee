#include "db/commit_outcome.hpp"

#include <algorithm>
#include <chrono>
#include <thread>

namespace solvard::db {
namespace {

// The server keeps the state of recent transactions; a transaction still "in progress" is one
// whose old session has not noticed yet that its client is gone.
constexpr int kQuestions = 8;

bool isDigits(const std::string& text) {
  return !text.empty() && text.size() <= 20 &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

bool tellsCommitOutcome(const Connection& connection) {
  return connection.engineName().starts_with("PostgreSQL");
}

std::string transactionMarker(Connection& connection) {
  if (!tellsCommitOutcome(connection) || !connection.inTransaction()) return {};
  Rows rows;
  if (connection.queryRows("select txid_current()", rows) != Outcome::kOk) return {};
  // Only digits go back into a statement, whatever the server answered.
  if (rows.size() != 1 || rows.front().size() != 1 || !isDigits(rows.front().front())) return {};
  return rows.front().front();
}

Outcome insertMarked(Connection& connection, const std::string& statement, std::string& marker) {
  marker.clear();
  Rows rows;
  const Outcome outcome = connection.queryRows(statement + std::string(kReturnsMarker), rows);
  if (outcome != Outcome::kOk) return outcome;
  if (rows.size() == 1 && rows.front().size() == 1 && isDigits(rows.front().front())) {
    marker = rows.front().front();
  } else {
    marker = transactionMarker(connection);
  }
  return outcome;
}

CommitState askCommitState(Connection& connection, const std::string& marker,
                           const std::function<void()>& pause) {
  if (!isDigits(marker) || !tellsCommitOutcome(connection)) return CommitState::kUnknown;
  const std::string question = "select txid_status(" + marker + ")";
  for (int asked = 0; asked < kQuestions; ++asked) {
    if (asked > 0) pause();
    Rows rows;
    if (connection.queryRows(question, rows) != Outcome::kOk) return CommitState::kUnknown;
    if (rows.size() != 1 || rows.front().size() != 1) return CommitState::kUnknown;
    const std::string& status = rows.front().front();
    if (status == "committed") return CommitState::kCommitted;
    if (status == "aborted") return CommitState::kNotCommitted;
    // Anything else but "in progress" (an empty value: too old to be known) cannot be told.
    if (status != "in progress") return CommitState::kUnknown;
  }
  return CommitState::kUnknown;
}

void pauseBeforeAskingAgain() { std::this_thread::sleep_for(std::chrono::milliseconds(200)); }

const char* describe(CommitState state) {
  switch (state) {
    case CommitState::kCommitted: return "committed";
    case CommitState::kNotCommitted: return "rolled back";
    case CommitState::kUnknown: break;
  }
  return "unknown";
}

}  // namespace solvard::db
