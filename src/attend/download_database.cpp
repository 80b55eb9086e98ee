#include "attend/download_database.hpp"

#include "db/statements.hpp"
#include "ui/host_reports.hpp"

namespace solvard::attend {
namespace {

// The one table that keeps only the last record read is emptied in the form every engine takes.
const std::string& clearReadTimeText() {
  static const std::string text = db::deleteWithFrom("delete WorkCardReadTime");
  return text;
}

std::string quoted(const std::vector<std::string_view>& values) {
  std::string text;
  for (std::string_view value : values) {
    if (!text.empty()) text += ",";
    text += "'" + std::string(value) + "'";
  }
  return text;
}

}  // namespace

DownloadDatabase::DownloadDatabase(db::Connection& connection, int16_t machineNo)
    : connection_(connection), machineNo_(machineNo) {}

DownloadDatabase::~DownloadDatabase() { rollback(); }

void DownloadDatabase::log(const std::string& text) const {
  ui::logLine("GetMacData(" + std::to_string(machineNo_) + "): " + text);
}

bool DownloadDatabase::open(const std::string& connectString) {
  if (connection_.State() == db::kStateOpen && !connection_.isAlive()) {
    // The check closed the dropped session: it is opened again below, as a closed one is.
    reopened_ = true;
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

db::Outcome DownloadDatabase::start() {
  written_.clear();
  if (const db::Outcome begun = connection_.BeginTrans(); begun != db::Outcome::kOk) {
    failed_ = "to begin a transaction";
    return begun;
  }
  const auto prepare = [&](std::unique_ptr<db::PreparedStatement>& statement,
                           const std::string& text) {
    statement = connection_.prepare(text);
    if (statement) return true;
    failed_ = "\"" + text + "\"";
    return false;
  };
  if (!prepare(insertSource_, kInsertSource) || !prepare(clearReadTime_, clearReadTimeText()) ||
      !prepare(insertReadTime_, kInsertReadTime)) {
    return connection_.State() == db::kStateOpen ? db::Outcome::kFailed
                                                 : db::Outcome::kConnectionLost;
  }
  return db::Outcome::kOk;
}

bool DownloadDatabase::begin() {
  const db::Outcome started = start();
  if (started == db::Outcome::kOk) return true;
  if (started == db::Outcome::kConnectionLost && resume()) return true;
  giveUp();
  return false;
}

db::Outcome DownloadDatabase::run(db::PreparedStatement& statement, const char* text,
                                  const std::vector<std::string_view>& values) {
  const db::Outcome outcome = statement.execute(values);
  if (outcome != db::Outcome::kOk) {
    failed_ = "\"" + std::string(text) + "\"";
    if (!values.empty()) failed_ += " with " + quoted(values);
  }
  return outcome;
}

db::Outcome DownloadDatabase::writeRow(const RecordColumns& record) {
  const std::vector<std::string_view> values{record.machineNo, record.cardNo, record.date,
                                             record.time};
  db::Outcome outcome = run(*insertSource_, kInsertSource, values);
  if (outcome == db::Outcome::kOk) outcome = run(*clearReadTime_, clearReadTimeText().c_str(), {});
  if (outcome == db::Outcome::kOk) outcome = run(*insertReadTime_, kInsertReadTime, values);
  return outcome;
}

bool DownloadDatabase::write(const RecordColumns& record) {
  const db::Outcome outcome = writeRow(record);
  if (outcome == db::Outcome::kOk) {
    written_.push_back(record);
    return true;
  }
  if (outcome == db::Outcome::kConnectionLost && resume() && writeRow(record) == db::Outcome::kOk) {
    written_.push_back(record);
    return true;
  }
  giveUp();
  return false;
}

bool DownloadDatabase::commit() {
  db::Outcome outcome = connection_.CommitTrans();
  if (outcome == db::Outcome::kConnectionLost && resume()) outcome = connection_.CommitTrans();
  if (outcome == db::Outcome::kOk) {
    written_.clear();
    return true;
  }
  failed_ = "to commit the download";
  giveUp();
  return false;
}

bool DownloadDatabase::resume() {
  if (reopened_) return false;
  reopened_ = true;
  log("the database dropped the connection (" + connection_.lastDiagnostic().text() +
      "); opening it again");
  if (connection_.State() == db::kStateOpen || connection_.Open() != db::Outcome::kOk) {
    failed_ = "to be opened again";
    return false;
  }
  connection_.CursorLocation(db::kUseServer);
  const std::vector<RecordColumns> rows = std::move(written_);
  if (start() != db::Outcome::kOk) return false;
  for (const RecordColumns& row : rows) {
    if (writeRow(row) != db::Outcome::kOk) return false;
    written_.push_back(row);
  }
  return true;
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
