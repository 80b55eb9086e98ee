#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "attend/record_columns.hpp"
#include "db/commit_outcome.hpp"
#include "db/connection.hpp"

namespace solvard::attend {

// The database side of one attendance download: the shared connection opened when it is found
// closed, one transaction holding every row of the download, and the three statements of each
// record. A download either commits all its rows or none, so a failed one can be run again
// without writing a record twice, and it never reports rows that were not written.
//
// Nothing here shows the operator a message: what the database said goes to the log the
// download's line hands it. A session the server dropped (a restart, say) is opened again once per
// download before the download gives up. Dropped before the commit, the transaction cannot have
// committed, so the rows written so far are written again on the new session. Dropped around
// the commit, the server may have committed: the rows are written again only when the server
// says it did not (PostgreSQL: the transaction's number taken before the commit, asked about
// on the new session); where it cannot tell, the outcome is reported as unknown.
class DownloadDatabase {
 public:
  // `log` gets what the database said (may be empty: dropped).
  DownloadDatabase(db::Connection& connection, int16_t machineNo,
                   std::function<void(const std::string&)> log);
  // A transaction still open (the download ended early) is rolled back.
  ~DownloadDatabase();
  DownloadDatabase(const DownloadDatabase&) = delete;
  DownloadDatabase& operator=(const DownloadDatabase&) = delete;

  // Opens the connection if it is closed (or found dropped), with `connectString`, server-side
  // cursors. False when it cannot be had.
  bool open(const std::string& connectString);
  // Begins the download's transaction.
  bool begin();
  // The three statements of one record, in order: its row into `WorkCardSource`, the emptying of
  // `WorkCardReadTime`, its row into `WorkCardReadTime`. A refusal rolls the transaction back.
  bool write(const RecordColumns& record);
  // How a commit ended.
  enum class Committed { kYes, kNo, kUnknown };
  // Commits the transaction; a refusal rolls it back (kNo). kUnknown: the session dropped
  // around the commit and the server could not say what became of it; the rows may be stored.
  Committed commit();
  // Undoes what the download wrote (the port or the terminal failed).
  void rollback();

 private:
  db::Outcome writeRow(const RecordColumns& record);
  db::Outcome execute(const std::string& statement);
  // After a lost session: opens it again, begins again and writes the download's rows again.
  // Only once per download.
  bool resume();
  // Opens the dropped session again for a question or a new start. Only once per download.
  bool reopen();
  // The commit's reply was lost: asks the new session what became of the transaction.
  Committed settleLostCommit(const std::string& marker);
  // On a session opened again: a new transaction holding the download's rows again.
  bool beginAndRewrite();
  // Commits on a session opened again; a second loss is not asked about again.
  Committed commitAfterResume();
  // Logs that the download's rows may or may not be stored.
  void logUnknown(const std::string& what);
  // Logs why the database refused `failed_`, then rolls back what is left.
  void giveUp();
  void log(const std::string& text) const;

  db::Connection& connection_;
  int16_t machineNo_;
  std::function<void(const std::string&)> log_;
  bool reopened_ = false;
  // The rows of the open transaction, kept to write them again on a reopened session.
  std::vector<RecordColumns> written_;
  // What the database refused last, as the log names it.
  std::string failed_;

 public:
  // The pause between questions about a lost commit (tests run it in no time).
  std::function<void()> pause = db::pauseBeforeAskingAgain;
};

// The statements of one record. The values are the decoded digits and dates of the record and
// the host's machine number, so nothing but digits, '-' and ':' enters the text.
std::string insertStatement(const std::string& table, const RecordColumns& record);
// "delete WorkCardReadTime", in the form with `from` that every engine takes.
const std::string& clearReadTimeStatement();

}  // namespace solvard::attend
