#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "db/connection.hpp"

namespace solvard::db {

// What a server that keeps the state of its transactions answers (PostgreSQL's txid_current
// and txid_status), shared by the connections of one test as they would share the server.
struct TransactionLedger {
  int64_t next = 700;
  std::map<int64_t, std::string> states;  // "in progress", "committed", "aborted"
};

// A connection in memory for tests of the downloads: it records every session operation in
// order, keeps the statements that took effect, and fails or loses its session on request. The
// shared rules of `Connection` (state, transactions, a lost session closing) apply as for a
// real backend.
class ScriptedConnection final : public Connection {
 public:
  ~ScriptedConnection() override {
    if (State() == kStateOpen) endSession();
  }

  // Each session operation as "<name> <text>": "Open <connection text>", "BeginTrans",
  // "Execute <statement>", "CommitTrans", "RollbackTrans", "Close", "prepare <statement>",
  // "execute <statement with the values in place>", "query <statement>", "ping". A failed one
  // has " failed" appended. Operations refused before reaching the session are not recorded.
  const std::vector<std::string>& log() const { return log_; }
  // Statements that took effect, in order: executed with automatic commit or in a transaction
  // that was committed. A prepared one appears with its values in place of its '?' markers,
  // quoted as literals ('1','2'), so both paths read the same.
  const std::vector<std::string>& committed() const { return committed_; }

  // The next call of the operation so named (as in `log`) fails with `diagnostic`; a lost
  // session when its SQLSTATE says so (e.g. "08S01").
  void failNext(const std::string& operation, Diagnostic diagnostic);
  // Every execution of exactly this statement (for a prepared one: with its values in place)
  // fails with `diagnostic`.
  void failStatement(const std::string& statement, Diagnostic diagnostic);
  // Counts every session operation in `calls` (which several connections may share) and fails
  // the one that brings it to `failing`, as failNext would: a fault at one chosen call of a
  // whole download, wherever that call falls. With `tookEffect` that call takes effect on the
  // server and the session drops before its reply comes, as dropAfterNext.
  void failCall(std::shared_ptr<int> calls, int failing, Diagnostic diagnostic,
                bool tookEffect = false) {
    calls_ = std::move(calls);
    failingCall_ = failing;
    callFailure_ = std::move(diagnostic);
    callTookEffect_ = tookEffect;
  }
  // The server drops the session: every operation reports it lost until the next `Open`.
  void dropSession() { dropped_ = true; }
  // The next call of the operation so named ("Execute", "CommitTrans") takes effect on the
  // server, and then the session drops before its reply comes: the caller sees it lost.
  void dropAfterNext(const std::string& operation) { dropAfter_.push_back(operation); }
  // The rows a query of exactly this statement gives (no rows otherwise).
  void answerQuery(const std::string& statement, Rows rows) {
    answers_[statement] = std::move(rows);
  }
  // The rows of successive queries of this statement, one answer each; the last one stays.
  void answerQueries(const std::string& statement, std::vector<Rows> answers) {
    sequences_[statement] = std::move(answers);
  }
  // The connection stands for a PostgreSQL session: it answers "select txid_current()" in a
  // transaction and "select txid_status(N)" from `ledger`, where a transaction is committed
  // once its commit took effect and aborted once it rolled back or its session dropped.
  void keepTransactionsIn(std::shared_ptr<TransactionLedger> ledger) {
    ledger_ = std::move(ledger);
    engine_ = "PostgreSQL";
  }
  // The engine the connection claims to be while open.
  void setEngine(std::string name) { engine_ = std::move(name); }
  std::string engineName() const override { return State() == kStateOpen ? engine_ : ""; }

 protected:
  Outcome openSession(const std::string& text, std::string_view user, std::string_view password,
                      Diagnostic& diagnostic) override;
  void endSession() override;
  Outcome executeText(std::string_view statement, Diagnostic& diagnostic) override;
  Outcome beginTransaction(Diagnostic& diagnostic) override;
  Outcome endTransaction(bool commit, Diagnostic& diagnostic) override;
  std::unique_ptr<StatementHandle> prepareText(std::string_view statement,
                                               Diagnostic& diagnostic) override;
  Outcome queryText(std::string_view statement, Rows& rows, Diagnostic& diagnostic) override;
  Outcome ping(Diagnostic& diagnostic) override;

 private:
  friend class ScriptedStatement;

  // Records the operation and gives the failure scripted for it, if any.
  Outcome run(const std::string& name, const std::string& text, Diagnostic& diagnostic);
  Outcome apply(const std::string& statement, Diagnostic& diagnostic);
  // What the session answers when asked for its transaction's marker (txid_current).
  Rows markerRows();
  // After an operation took effect: the reply lost when `dropAfterNext` asked for it.
  Outcome replyOf(const std::string& name, Outcome outcome, Diagnostic& diagnostic);

  // The open transaction ends on the ledger as `state`; the statements it held are gone unless
  // it committed.
  void settleTransaction(const char* state);

  std::shared_ptr<TransactionLedger> ledger_;
  int64_t transaction_ = 0;  // its number on the ledger, once asked
  std::shared_ptr<int> calls_;
  int failingCall_ = 0;
  Diagnostic callFailure_;
  bool callTookEffect_ = false;
  std::vector<std::string> log_;
  std::vector<std::string> committed_;
  std::vector<std::string> pending_;
  std::map<std::string, std::vector<Diagnostic>> failNext_;
  std::map<std::string, Diagnostic> failingStatements_;
  std::map<std::string, Rows> answers_;
  std::map<std::string, std::vector<Rows>> sequences_;
  std::string engine_;
  std::vector<std::string> dropAfter_;
  bool dropped_ = false;
};

}  // namespace solvard::db
