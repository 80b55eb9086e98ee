#pragma once

#include <functional>
#include <span>
#include <string>

#include "db/commit_outcome.hpp"
#include "db/pool.hpp"
#include "prohibit/access_sink.hpp"

namespace solvard::prohibit {

// The record store of one download: writes each access record as a row of the host's table in
// the database the host's connection text opens, one row per record, each committed on its own.
// The connection is taken from `connections` and kept for the records after it; it goes back to
// the pool when the store ends.
//
// A row is never written twice because an answer was lost. On PostgreSQL each row is written in
// a transaction of its own whose number is taken first: a session dropped before the commit
// cannot have stored the row, so it is written again on a new session; one dropped around the
// commit is settled by asking the new session what became of that transaction. Elsewhere the row
// is written with automatic commit, and a session dropped while it was on its way leaves the
// outcome unknown (kUnknown), never guessed.
class RecordStore final : public AccessRecordSink {
 public:
  RecordStore(db::ConnectionPool& connections, std::string iConnectString, std::string iTable);

  // Opens the database and checks that the host's table is there and can be read (a query that
  // returns no rows), so that a download whose rows could not be written asks nothing of the
  // terminal. False, with the reason, when it cannot be used.
  bool ready(std::string& problem);

  // Insert into <table> values('<card>','<yyyy-MM-dd>','<hh:mm>'). Not written, with the
  // reason: fewer than ten record bytes, a table name that is not an identifier, a database that
  // cannot be opened, a statement the database refuses.
  StoreOutcome SaveRegisterRecord(std::span<const uint8_t> record);

  bool prepare(std::string& problem) override { return ready(problem); }
  // The host's table has no column for a record's identity: the row is the record's values.
  StoreOutcome save(std::span<const uint8_t> record, const RecordOrigin&) override {
    return SaveRegisterRecord(record);
  }

  Settled settle(const std::string& marker, std::string& problem) override;

  // The pause between questions about a lost commit (tests run it in no time).
  std::function<void()> pause = db::pauseBeforeAskingAgain;

 private:
  bool connect(std::string& problem);
  StoreOutcome insertAutocommitted(const std::string& statement);
  StoreOutcome insertInTransaction(const std::string& statement);
  // One try at the transaction; `marker` gets its number once taken.
  db::Outcome tryTransaction(const std::string& statement, std::string& marker, bool& committing,
                             db::Diagnostic& why);
  bool reopen();
  StoreOutcome refused(const std::string& statement);

  db::ConnectionPool& connections_;
  std::string connectString_;
  std::string table_;
  db::PooledConnection connection_;
};

}  // namespace solvard::prohibit
