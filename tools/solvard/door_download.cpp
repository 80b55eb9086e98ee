#include "door_download.hpp"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <iostream>
#include <memory>
#include <vector>

#include "commands.hpp"
#include "db/connection_text.hpp"
#include "db/odbc_connection.hpp"
#include "db/schema.hpp"
#include "db/statements.hpp"
#include "door_options.hpp"
#include "pending_file.hpp"
#include "prohibit/register_download.hpp"
#include "stop_signals.hpp"
#include "ui/host_reports.hpp"

namespace solvard::tool {
namespace {

using Clock = std::chrono::steady_clock;

// Makes the table in an SQLite file when it is missing, as the library never does. Other
// databases are the host's to prepare. False, with the reason printed, when it cannot be made.
bool prepareTable(const std::string& table, const std::string& database) {
  if (!db::namesSqliteFile(database)) return true;
  if (!db::isPlainTableName(table)) {
    std::cout << "table " << table << " is not made here (only plain names are): it must exist\n";
    return true;
  }
  auto connection = db::makeOdbcConnection();
  db::Diagnostic problem;
  if (connection->Open(database) != db::Outcome::kOk) {
    problem = connection->lastDiagnostic();
  } else {
    problem = db::ensureAccessRecordTable(*connection, table);
  }
  if (problem.empty()) return true;
  std::cout << "the table " << table << " in " << database
            << " could not be made: " << problem.text() << "\n";
  return false;
}

// Shows the records written so far and the rate, on one line rewritten in place when the output
// is a terminal; otherwise nothing until the end.
class ProgressLine {
 public:
  explicit ProgressLine(int16_t machine)
      : machine_(machine), live_(::isatty(STDOUT_FILENO) == 1), began_(Clock::now()) {
    saved_ = ui::setProgressSink([this](int32_t done, int32_t) {
      done_ = done;
      if (live_) show();
    });
  }
  ~ProgressLine() { ui::setProgressSink(std::move(saved_)); }

  // Ends the line in place, if one was shown.
  void finish() {
    if (live_ && done_ > 0) std::cout << "\n";
  }
  int32_t done() const { return done_; }
  double seconds() const { return std::chrono::duration<double>(Clock::now() - began_).count(); }
  std::string rate() const {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", seconds() > 0 ? done_ / seconds() : 0.0);
    return text;
  }

 private:
  void show() {
    std::cout << "\rterminal " << machine_ << ": " << done_ << " records written, " << rate()
              << " records/s" << std::flush;
  }

  int16_t machine_;
  bool live_;
  Clock::time_point began_;
  int32_t done_ = 0;
  ui::ProgressSink saved_;
};

}  // namespace

namespace {

// What the report says of a download that did not end cleanly, for the operator.
std::string endingWords(const prohibit::RegisterDownloadReport& report) {
  using Ending = prohibit::RegisterDownloadReport::Ending;
  switch (report.ending) {
    case Ending::kStoppedAnswering:
      return "the terminal stopped answering; it may still hold records: run the download again";
    case Ending::kStopped:
      return "stopped on request; the record in hand was written, the terminal may still hold "
             "more";
    case Ending::kRecordNotWritten:
      return "a record could not be written; it is kept and will be written first by the next "
             "download from this terminal";
    case Ending::kRecordOutcomeUnknown:
      return "the database connection dropped while a record was being stored: it may be stored "
             "or not (the log above gives its card and time)";
    case Ending::kPendingNotWritten:
      return "a record kept from an earlier download still cannot be written; nothing was asked "
             "of the terminal";
    case Ending::kDatabaseNotReady:
      return "the database or its table cannot be used; nothing was asked of the terminal";
    case Ending::kRecordIncomplete: return "a record did not come whole; it stays in the terminal";
    case Ending::kNoFirstStatus: return "the terminal did not answer the first prompt";
    case Ending::kPortNotOpened: return "the port could not be opened";
    default: return {};
  }
}

}  // namespace

int runDoorDownload(int16_t machine, const std::string& table, const std::string& database,
                    component::Prohibit& door) {
  if (!prepareTable(table, database)) return kExitFailed;
  DoorMessages messages;
  std::vector<std::string> logged;
  ui::LogSink savedLog = ui::setLogSink([&](const std::string& line) { logged.push_back(line); });
  // A record the database refused is kept in the user's state folder, so the next process
  // writes it before its first prompt makes the terminal forget it.
  auto savedPending = prohibit::setPendingRecords(std::make_shared<PendingFile>(pendingFilePath()));
  std::string result;
  int32_t written = 0;
  std::string summary;
  {
    StopOnSignals stopOnSignals;
    ProgressLine progress(machine);
    std::string text = database;
    std::string name = table;
    result = door.GetRegisterData(machine, text, name);
    progress.finish();
    written = progress.done();
    char timing[64];
    std::snprintf(timing, sizeof timing, " in %.1f s, %s records/s", progress.seconds(),
                  progress.rate().c_str());
    summary = std::to_string(written) + " records written to " + table + timing;
  }
  prohibit::setPendingRecords(std::move(savedPending));
  ui::setLogSink(std::move(savedLog));
  const prohibit::RegisterDownloadReport& report = prohibit::lastRegisterDownload();
  for (const std::string& line : logged) std::cerr << "Solvard: " << line << "\n";
  if (report.pendingWritten > 0) {
    std::cout << "terminal " << machine << ": " << report.pendingWritten
              << " records kept from an earlier download written first\n";
  }

  using Ending = prohibit::RegisterDownloadReport::Ending;
  if (result == "NODATA") {
    std::cout << "terminal " << machine << " holds no records (NODATA): nothing written\n";
    return kExitOk;
  }
  if (result == "ISEND" && report.ending != Ending::kStoppedAnswering) {
    std::cout << "terminal " << machine << ": " << summary << " (ISEND)\n";
    return kExitOk;
  }
  std::string reason = messages.take();
  const std::string words = endingWords(report);
  if (!words.empty()) reason += (reason.empty() ? "" : "; ") + words;
  if (reason.empty()) {
    reason = "the port could not be opened, or the terminal did not answer the first prompt";
  }
  std::cout << "terminal " << machine << ": the download stopped (" << result << ") after "
            << summary << ": " << reason << "\n";
  return kExitFailed;
}

int runDoorIdentity(int16_t machine, component::Prohibit& door) {
  DoorMessages messages;
  const std::string identity = door.GetID(machine);
  const std::string shown = messages.take();
  if (!identity.empty()) {
    std::cout << "terminal " << machine << " identity: " << identity << "\n";
    return kExitOk;
  }
  std::cout << "terminal " << machine << " told no identity: "
            << (shown.empty() ? "no reply, or a reply from another machine number" : shown) << "\n";
  return kExitFailed;
}

}  // namespace solvard::tool
