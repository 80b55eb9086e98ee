#include "db/scripted_connection.hpp"

#include <algorithm>

#include "db/commit_outcome.hpp"

namespace solvard::db {
namespace {

bool isMarkedInsert(std::string_view text) {
  return text.starts_with("Insert into ") && text.ends_with(kReturnsMarker);
}

// The statement as it would read with its values written in as literals.
std::string withValues(std::string_view statement, std::span<const std::string_view> values) {
  std::string text;
  size_t next = 0;
  for (char c : statement) {
    if (c != '?' || next == values.size()) {
      text += c;
      continue;
    }
    text += '\'';
    for (char v : values[next]) text += v == '\'' ? std::string("''") : std::string(1, v);
    text += '\'';
    ++next;
  }
  return text;
}

}  // namespace

class ScriptedStatement final : public StatementHandle {
 public:
  ScriptedStatement(ScriptedConnection& owner, std::string statement)
      : owner_(owner), statement_(std::move(statement)) {}

  Outcome execute(std::span<const std::string_view> values, Diagnostic& diagnostic) override {
    const std::string text = withValues(statement_, values);
    const Outcome outcome = owner_.run("execute", text, diagnostic);
    return outcome == Outcome::kOk ? owner_.apply(text, diagnostic) : outcome;
  }

 private:
  ScriptedConnection& owner_;
  std::string statement_;
};

void ScriptedConnection::failNext(const std::string& operation, Diagnostic diagnostic) {
  failNext_[operation].push_back(std::move(diagnostic));
}

void ScriptedConnection::failStatement(const std::string& statement, Diagnostic diagnostic) {
  failingStatements_[statement] = std::move(diagnostic);
}

Outcome ScriptedConnection::run(const std::string& name, const std::string& text,
                                Diagnostic& diagnostic) {
  Outcome outcome = Outcome::kOk;
  auto scripted = failNext_.find(name);
  const bool failingCall = calls_ && ++*calls_ == failingCall_;
  const bool repliesAfterEffect = name == "Execute" || name == "CommitTrans" ||
                                  name == "RollbackTrans" ||
                                  (name == "query" && isMarkedInsert(text));
  if (failingCall && callTookEffect_ && repliesAfterEffect) {
    dropAfter_.push_back(name);
  } else if (failingCall) {
    diagnostic = callFailure_;
    outcome =
        isConnectionLostState(diagnostic.sqlState) ? Outcome::kConnectionLost : Outcome::kFailed;
  } else if (dropped_ && name != "Open") {
    diagnostic = {"08S01", 0, "the server closed the connection"};
    outcome = Outcome::kConnectionLost;
  } else if (scripted != failNext_.end() && !scripted->second.empty()) {
    diagnostic = scripted->second.front();
    scripted->second.erase(scripted->second.begin());
    outcome =
        isConnectionLostState(diagnostic.sqlState) ? Outcome::kConnectionLost : Outcome::kFailed;
  }
  log_.push_back((text.empty() ? name : name + " " + text) +
                 (outcome == Outcome::kOk ? "" : " failed"));
  // A server that lost its client rolls back what the session had open.
  if (outcome == Outcome::kConnectionLost) settleTransaction("aborted");
  return outcome;
}

void ScriptedConnection::settleTransaction(const char* state) {
  pending_.clear();
  if (ledger_ && transaction_ != 0) ledger_->states[transaction_] = state;
  transaction_ = 0;
}

Outcome ScriptedConnection::apply(const std::string& statement, Diagnostic& diagnostic) {
  auto failing = failingStatements_.find(statement);
  if (failing != failingStatements_.end()) {
    diagnostic = failing->second;
    log_.back() += " failed";
    return Outcome::kFailed;
  }
  (inTransaction() ? pending_ : committed_).push_back(statement);
  return Outcome::kOk;
}

Outcome ScriptedConnection::replyOf(const std::string& name, Outcome outcome,
                                    Diagnostic& diagnostic) {
  auto drop = std::find(dropAfter_.begin(), dropAfter_.end(), name);
  if (outcome != Outcome::kOk || drop == dropAfter_.end()) return outcome;
  dropAfter_.erase(drop);
  dropped_ = true;
  if (name == "Execute" || name == "query") settleTransaction("aborted");
  diagnostic = {"08S01", 0, "the server closed the connection"};
  log_.back() += " reply lost";
  return Outcome::kConnectionLost;
}

Outcome ScriptedConnection::openSession(const std::string& text, std::string_view, std::string_view,
                                        Diagnostic& diagnostic) {
  const Outcome outcome = run("Open", text, diagnostic);
  if (outcome == Outcome::kOk) dropped_ = false;
  return outcome;
}

void ScriptedConnection::endSession() {
  log_.push_back("Close");
  settleTransaction("aborted");
}

Outcome ScriptedConnection::executeText(std::string_view statement, Diagnostic& diagnostic) {
  const std::string text(statement);
  const Outcome outcome = run("Execute", text, diagnostic);
  return replyOf("Execute", outcome == Outcome::kOk ? apply(text, diagnostic) : outcome,
                 diagnostic);
}

Outcome ScriptedConnection::beginTransaction(Diagnostic& diagnostic) {
  return run("BeginTrans", "", diagnostic);
}

Outcome ScriptedConnection::endTransaction(bool commit, Diagnostic& diagnostic) {
  const Outcome outcome = run(commit ? "CommitTrans" : "RollbackTrans", "", diagnostic);
  if (outcome != Outcome::kOk) return outcome;
  if (commit) committed_.insert(committed_.end(), pending_.begin(), pending_.end());
  settleTransaction(commit ? "committed" : "aborted");
  return replyOf(commit ? "CommitTrans" : "RollbackTrans", outcome, diagnostic);
}

std::unique_ptr<StatementHandle> ScriptedConnection::prepareText(std::string_view statement,
                                                                 Diagnostic& diagnostic) {
  const std::string text(statement);
  if (run("prepare", text, diagnostic) != Outcome::kOk) return nullptr;
  return std::make_unique<ScriptedStatement>(*this, text);
}

Outcome ScriptedConnection::queryText(std::string_view statement, Rows& rows,
                                      Diagnostic& diagnostic) {
  const std::string text(statement);
  const Outcome outcome = run("query", text, diagnostic);
  if (outcome != Outcome::kOk) return outcome;
  if (isMarkedInsert(text)) {
    // An insert that returns its transaction's marker: the row, then the marker's answer.
    const Outcome applied = apply(text.substr(0, text.size() - kReturnsMarker.size()), diagnostic);
    if (applied != Outcome::kOk) return applied;
    rows = markerRows();
    return replyOf("query", outcome, diagnostic);
  }
  if (text == "select txid_current()" && (ledger_ || answers_.contains(text))) {
    rows = markerRows();
    return outcome;
  }
  if (ledger_ && text.starts_with("select txid_status(")) {
    const auto state = ledger_->states.find(std::stoll(text.substr(19)));
    rows = {{state == ledger_->states.end() ? std::string() : state->second}};
    return outcome;
  }
  if (auto sequence = sequences_.find(text); sequence != sequences_.end()) {
    std::vector<Rows>& answers = sequence->second;
    if (!answers.empty()) rows = answers.front();
    if (answers.size() > 1) answers.erase(answers.begin());
    return outcome;
  }
  if (auto answer = answers_.find(text); answer != answers_.end()) rows = answer->second;
  return outcome;
}

Rows ScriptedConnection::markerRows() {
  if (!ledger_) {
    const auto answer = answers_.find("select txid_current()");
    return answer == answers_.end() ? Rows{} : answer->second;
  }
  if (!inTransaction()) return {};
  if (transaction_ == 0) {
    transaction_ = ledger_->next++;
    ledger_->states[transaction_] = "in progress";
  }
  return {{std::to_string(transaction_)}};
}

Outcome ScriptedConnection::ping(Diagnostic& diagnostic) { return run("ping", "", diagnostic); }

}  // namespace solvard::db
