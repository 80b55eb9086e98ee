#include "attend/download_database.hpp"

#include "db/statements.hpp"

namespace solvard::attend {

// Executed as complete texts rather than prepared: with the ODBC drivers at hand a prepared
// statement saves next to nothing on SQLite and costs PostgreSQL a second round trip per
// execution (docs/performance.md).
std::string insertStatement(const std::string& table, const RecordColumns& record) {
  return db::insertValues("insert into", table,
                          {record.machineNo, record.cardNo, record.date, record.time});
}

const std::string& clearReadTimeStatement() {
  static const std::string text = db::deleteWithFrom("delete WorkCardReadTime");
  return text;
}

DownloadDatabase::DownloadDatabase(db::Connection& connection, int16_t machineNo,
                                   std::function<void(const std::string&)> log)
    : connection_(connection), machineNo_(machineNo), log_(std::move(log)) {}

DownloadDatabase::~DownloadDatabase() { rollback(); }

void DownloadDatabase::log(const std::string& text) const {
  if (log_) log_("GetMacData(" + std::to_string(machineNo_) + "): " + text);
}

bool DownloadDatabase::open(const std::string& connectString) {
  reopened_ = false;
  if (connection_.State() == db::kStateOpen && !connection_.isAlive()) {
    // The check closed the dropped session: it is opened again below, as a closed one is.
    log("the database dropped the connection (" + connection_.lastDiagnostic().text() +
        "); opening it again");
  }
  if (connection_.State() == db::kStateOpen) return true;
  connection_.ConnectionString(connectString);
  if (connection_.Open() != db::Outcome::kOk) {
    log("the database cannot be opened: " + connection_.lastDiagnostic().text() +
        "; nothing was asked of the terminal");
    return false;
  }
  connection_.CursorLocation(db::kUseServer);
  return true;
}

bool DownloadDatabase::begin() {
  written_.clear();
  db::Outcome begun = connection_.BeginTrans();
  if (begun == db::Outcome::kOk) return true;
  failed_ = "to begin a transaction";
  if (begun == db::Outcome::kConnectionLost && resume()) return true;
  giveUp();
  return false;
}

db::Outcome DownloadDatabase::execute(const std::string& statement) {
  const db::Outcome outcome = connection_.Execute(statement);
  if (outcome != db::Outcome::kOk) failed_ = "\"" + statement + "\"";
  return outcome;
}

db::Outcome DownloadDatabase::writeRow(const RecordColumns& record) {
  db::Outcome outcome = execute(insertStatement("WorkCardSource", record));
  if (outcome == db::Outcome::kOk) outcome = execute(clearReadTimeStatement());
  if (outcome == db::Outcome::kOk) outcome = execute(insertStatement("WorkCardReadTime", record));
  return outcome;
}

bool DownloadDatabase::write(const RecordColumns& record) {
  db::Outcome outcome = writeRow(record);
  if (outcome == db::Outcome::kConnectionLost && resume()) outcome = writeRow(record);
  if (outcome == db::Outcome::kOk) {
    written_.push_back(record);
    return true;
  }
  giveUp();
  return false;
}

DownloadDatabase::Committed DownloadDatabase::commit() {
  // Taken before the commit: once its reply is lost, only the server's number for the
  // transaction lets a new session ask whether it committed.
  const std::string marker = db::transactionMarker(connection_);
  if (connection_.State() != db::kStateOpen) {
    // The question itself found the session dropped: the commit was never sent.
    failed_ = "to commit the download";
    if (resume()) return commitAfterResume();
    giveUp();
    return Committed::kNo;
  }
  const db::Outcome outcome = connection_.CommitTrans();
  if (outcome == db::Outcome::kOk) {
    written_.clear();
    return Committed::kYes;
  }
  failed_ = "to commit the download";
  if (outcome == db::Outcome::kConnectionLost) return settleLostCommit(marker);
  giveUp();
  return Committed::kNo;
}

DownloadDatabase::Committed DownloadDatabase::commitAfterResume() {
  if (connection_.CommitTrans() == db::Outcome::kOk) {
    written_.clear();
    return Committed::kYes;
  }
  // A second loss, or a refusal, on the session opened again: what the server did with this
  // commit is not asked again.
  if (connection_.State() != db::kStateOpen) {
    logUnknown("the connection dropped again while committing (" +
               connection_.lastDiagnostic().text() + ")");
    written_.clear();
    return Committed::kUnknown;
  }
  giveUp();
  return Committed::kNo;
}

DownloadDatabase::Committed DownloadDatabase::settleLostCommit(const std::string& marker) {
  const std::string lost = connection_.lastDiagnostic().text();
  if (!reopen()) {
    logUnknown("the connection dropped while committing (" + lost +
               ") and could not be opened again to ask what became of the commit (" +
               connection_.lastDiagnostic().text() + ")");
    written_.clear();
    return Committed::kUnknown;
  }
  const db::CommitState state =
      marker.empty() ? db::CommitState::kUnknown : db::askCommitState(connection_, marker, pause);
  switch (state) {
    case db::CommitState::kCommitted:
      log("the connection dropped while committing (" + lost +
          "); the database says the download was committed");
      written_.clear();
      return Committed::kYes;
    case db::CommitState::kNotCommitted:
      log("the connection dropped while committing (" + lost +
          "); the database says the download was rolled back, so it is written again");
      if (beginAndRewrite()) return commitAfterResume();
      giveUp();
      return Committed::kNo;
    case db::CommitState::kUnknown: break;
  }
  logUnknown("the connection dropped while committing (" + lost + ") and " +
             (marker.empty() ? std::string("this database cannot be asked what became of it")
                             : "the database could not say what became of it"));
  written_.clear();
  return Committed::kUnknown;
}

bool DownloadDatabase::reopen() {
  if (reopened_) return false;
  reopened_ = true;
  if (connection_.State() == db::kStateOpen) return true;
  if (connection_.Open() != db::Outcome::kOk) return false;
  connection_.CursorLocation(db::kUseServer);
  return true;
}

bool DownloadDatabase::beginAndRewrite() {
  if (connection_.BeginTrans() != db::Outcome::kOk) {
    failed_ = "to begin a transaction";
    return false;
  }
  for (const RecordColumns& row : written_) {
    if (writeRow(row) != db::Outcome::kOk) return false;
  }
  return true;
}

bool DownloadDatabase::resume() {
  if (reopened_) return false;
  log("the database dropped the connection (" + connection_.lastDiagnostic().text() +
      "); opening it again");
  if (!reopen()) {
    failed_ = "to be opened again";
    return false;
  }
  return beginAndRewrite();
}

void DownloadDatabase::logUnknown(const std::string& what) {
  log(what + ": the " + std::to_string(written_.size()) +
      " records of this download may be stored or not; look in WorkCardSource before "
      "downloading them again");
}

void DownloadDatabase::giveUp() {
  log("the database refused " + failed_ + ": " + connection_.lastDiagnostic().text() +
      "; nothing of this download was kept");
  rollback();
}

void DownloadDatabase::rollback() {
  if (connection_.State() == db::kStateOpen && connection_.inTransaction()) {
    connection_.RollbackTrans();
  }
  written_.clear();
}

}  // namespace solvard::attend
