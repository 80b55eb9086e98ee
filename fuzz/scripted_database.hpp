#pragma once

// The database the download harnesses write to: scripted connections in memory that fail where
// the fuzzer's bytes say, and that outlive whoever owns them, so the rows that took effect can
// be counted afterwards.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "db/connection.hpp"
#include "db/scripted_connection.hpp"

namespace solvard::fuzz {

// Where the database lets the download down: the `at`-th session operation (counted from 1
// across every connection of the run; 0 never) fails, refused or with the session lost.
struct DatabaseFault {
  int at = 0;
  bool lost = false;
};

// Passes every session operation on to a scripted connection the harness keeps, failing the
// one the fault names.
class ForwardingConnection final : public db::Connection {
 public:
  ForwardingConnection(db::ScriptedConnection& to, DatabaseFault fault, int& counted)
      : to_(to), fault_(fault), counted_(counted) {}
  ~ForwardingConnection() override {
    if (State() == db::kStateOpen) endSession();
  }

 protected:
  db::Outcome openSession(const std::string& text, std::string_view user, std::string_view password,
                          db::Diagnostic& diagnostic) override {
    arm("Open");
    return settle(to_.Open(text, user, password), diagnostic);
  }
  void endSession() override {
    if (to_.State() == db::kStateOpen) to_.Close();
  }
  db::Outcome executeText(std::string_view statement, db::Diagnostic& diagnostic) override {
    arm("Execute");
    return settle(to_.Execute(statement), diagnostic);
  }
  db::Outcome beginTransaction(db::Diagnostic& diagnostic) override {
    arm("BeginTrans");
    return settle(to_.BeginTrans(), diagnostic);
  }
  db::Outcome endTransaction(bool commit, db::Diagnostic& diagnostic) override {
    arm(commit ? "CommitTrans" : "RollbackTrans");
    return settle(commit ? to_.CommitTrans() : to_.RollbackTrans(), diagnostic);
  }
  std::unique_ptr<db::StatementHandle> prepareText(std::string_view,
                                                   db::Diagnostic& diagnostic) override {
    diagnostic = {"HY000", 0, "the downloads prepare no statement"};
    return nullptr;
  }
  db::Outcome queryText(std::string_view statement, db::Rows& rows,
                        db::Diagnostic& diagnostic) override {
    arm("query");
    return settle(to_.queryRows(statement, rows), diagnostic);
  }
  db::Outcome ping(db::Diagnostic& diagnostic) override {
    return settle(to_.isAlive() ? db::Outcome::kOk : db::Outcome::kConnectionLost, diagnostic);
  }

 private:
  void arm(const std::string& operation) {
    if (++counted_ != fault_.at) return;
    to_.failNext(operation, fault_.lost ? db::Diagnostic{"08S01", 0, "the link went down"}
                                        : db::Diagnostic{"23000", 19, "refused"});
  }
  db::Outcome settle(db::Outcome outcome, db::Diagnostic& diagnostic) {
    diagnostic = to_.lastDiagnostic();
    return outcome;
  }

  db::ScriptedConnection& to_;
  DatabaseFault fault_;
  int& counted_;
};

// Every scripted connection a run made, kept after their owners let them go.
class ScriptedDatabase {
 public:
  explicit ScriptedDatabase(DatabaseFault fault) : fault_(fault) {}

  std::unique_ptr<db::Connection> connect() {
    made_.push_back(std::make_unique<db::ScriptedConnection>());
    return std::make_unique<ForwardingConnection>(*made_.back(), fault_, counted_);
  }

  // The statements that took effect, on every connection in the order they were made.
  std::vector<std::string> committed() const {
    std::vector<std::string> all;
    for (const auto& c : made_) all.insert(all.end(), c->committed().begin(), c->committed().end());
    return all;
  }

  // The statements that took effect and begin with `prefix`, on every connection.
  std::size_t committedStartingWith(std::string_view prefix) const {
    std::size_t n = 0;
    for (const auto& c : made_) {
      for (const std::string& statement : c->committed()) {
        if (statement.starts_with(prefix)) ++n;
      }
    }
    return n;
  }

 private:
  DatabaseFault fault_;
  int counted_ = 0;
  std::vector<std::unique_ptr<db::ScriptedConnection>> made_;
};

}  // namespace solvard::fuzz
