#include "prohibit/record_store.hpp"

#include <utility>

#include "prohibit/access_record.hpp"
#include "prohibit/table_name.hpp"

namespace solvard::prohibit {

using State = StoreOutcome::State;

RecordStore::RecordStore(db::ConnectionPool& connections, std::string iConnectString,
                         std::string iTable)
    : connections_(connections),
      connectString_(std::move(iConnectString)),
      table_(std::move(iTable)) {}

bool RecordStore::connect(std::string& problem) {
  if (connection_ && connection_->State() == db::kStateOpen) return true;
  if (connection_) {
    if (connection_->Open() == db::Outcome::kOk) return true;
    problem = "the database does not open again: " + connection_->lastDiagnostic().text();
    return false;
  }
  connection_ = connections_.acquire(connectString_);
  if (connection_) return true;
  problem = "the database does not open: " + connection_.diagnostic().text();
  return false;
}

bool RecordStore::ready(std::string& problem) {
  if (!isTableName(table_)) {
    problem = "\"" + table_ + "\" is not a table name";
    return false;
  }
  if (!connect(problem)) return false;
  db::Rows rows;
  // Asks for no row: only whether the table is there for this session to read.
  const std::string question = "select * from " + table_ + " where 1=0";
  if (connection_->queryRows(question, rows) != db::Outcome::kOk) {
    problem = "the table " + table_ + " cannot be used: " + connection_->lastDiagnostic().text();
    return false;
  }
  return true;
}

StoreOutcome RecordStore::refused(const std::string& statement) {
  return {State::kNotWritten, statement + " refused: " + connection_->lastDiagnostic().text()};
}

bool RecordStore::reopen() {
  return connection_->State() == db::kStateOpen || connection_->Open() == db::Outcome::kOk;
}

StoreOutcome RecordStore::SaveRegisterRecord(std::span<const uint8_t> record) {
  const std::optional<AccessRow> row = decodeAccessRecord(record);
  if (!row) {
    return {State::kNotWritten, "the record holds " + std::to_string(record.size()) + " of " +
                                    std::to_string(kAccessRecordLength) + " bytes"};
  }
  if (!isTableName(table_)) return {State::kNotWritten, "\"" + table_ + "\" is not a table name"};
  std::string problem;
  if (!connect(problem)) return {State::kNotWritten, problem};
  const std::string statement = insertStatement(table_, *row);
  return db::tellsCommitOutcome(*connection_) ? insertInTransaction(statement)
                                              : insertAutocommitted(statement);
}

StoreOutcome RecordStore::insertAutocommitted(const std::string& statement) {
  const db::Outcome outcome = connection_->Execute(statement);
  if (outcome == db::Outcome::kOk) return {State::kWritten, {}};
  if (outcome == db::Outcome::kConnectionLost) {
    // The session may have dropped before the statement reached the server or after it was
    // committed there; this engine cannot be asked which.
    return {State::kUnknown, "the connection dropped while " + statement + " was on its way (" +
                                 connection_->lastDiagnostic().text() +
                                 "): the row may be stored or not"};
  }
  return refused(statement);
}

db::Outcome RecordStore::tryTransaction(const std::string& statement, std::string& marker,
                                        bool& committing, db::Diagnostic& why) {
  committing = false;
  marker.clear();
  db::Outcome outcome = connection_->BeginTrans();
  if (outcome == db::Outcome::kOk) outcome = db::insertMarked(*connection_, statement, marker);
  // Without the marker a commit whose reply is lost could not be settled: the row is not kept.
  if (outcome == db::Outcome::kOk && marker.empty()) {
    outcome = connection_->State() == db::kStateOpen ? db::Outcome::kFailed
                                                     : db::Outcome::kConnectionLost;
  }
  if (outcome == db::Outcome::kOk) {
    committing = true;
    outcome = connection_->CommitTrans();
  }
  why = connection_->lastDiagnostic();
  if (outcome == db::Outcome::kFailed && connection_->inTransaction()) {
    connection_->RollbackTrans();
  }
  return outcome;
}

AccessRecordSink::Settled RecordStore::settle(const std::string& marker, std::string& problem) {
  if (!connect(problem)) return Settled::kUnknown;
  switch (db::askCommitState(*connection_, marker, pause)) {
    case db::CommitState::kCommitted: return Settled::kStored;
    case db::CommitState::kNotCommitted: return Settled::kNotStored;
    case db::CommitState::kUnknown: break;
  }
  problem = "the database cannot say whether transaction " + marker + " committed";
  return Settled::kUnknown;
}

StoreOutcome RecordStore::insertInTransaction(const std::string& statement) {
  // Two tries: a session dropped before the commit stored nothing, so the row goes again on a
  // new one; a second drop is not tried again.
  for (int attempt = 0; attempt < 2; ++attempt) {
    std::string marker;
    bool committing = false;
    db::Diagnostic why;
    const db::Outcome outcome = tryTransaction(statement, marker, committing, why);
    if (outcome == db::Outcome::kOk) return {State::kWritten, {}};
    if (outcome != db::Outcome::kConnectionLost) {
      return {State::kNotWritten, statement + " refused: " + why.text()};
    }
    const std::string lost = why.text();
    if (!reopen()) {
      return {committing ? State::kUnknown : State::kNotWritten,
              "the connection dropped (" + lost +
                  ") and does not open again: " + connection_->lastDiagnostic().text() +
                  (committing ? "; the row may be stored or not" : ""),
              committing ? marker : std::string()};
    }
    if (!committing) continue;
    switch (db::askCommitState(*connection_, marker, pause)) {
      case db::CommitState::kCommitted: return {State::kWritten, {}};
      case db::CommitState::kNotCommitted: continue;
      case db::CommitState::kUnknown:
        return {State::kUnknown,
                "the connection dropped while committing " + statement + " (" + lost +
                    ") and the database could not say what became of it",
                marker};
    }
  }
  return {State::kNotWritten, "the connection dropped twice while writing " + statement + ": " +
                                  connection_->lastDiagnostic().text()};
}

}  // namespace solvard::prohibit
