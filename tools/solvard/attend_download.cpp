#include "attend_download.hpp"

#include <unistd.h>

#include <cstdio>
#include <iostream>

#include "attend_progress.hpp"
#include "commands.hpp"
#include "db/connection_text.hpp"
#include "db/odbc_connection.hpp"
#include "db/schema.hpp"
#include "stop_signals.hpp"
#include "ui/messages.hpp"
#include "ui/presenter.hpp"

namespace solvard::tool {

bool prepareSqliteFile(const std::string& path, std::string& problem) {
  auto connection = db::makeOdbcConnection();
  if (connection->Open(path) != db::Outcome::kOk) {
    problem = connection->lastDiagnostic().text();
    return false;
  }
  const db::Diagnostic failure = db::ensureAttendanceTables(*connection);
  problem = failure.text();
  return failure.empty();
}

DownloadOutcome runAttendDownload(component::Attend& object, int16_t machine, std::ostream& out,
                                  bool terminal) {
  DownloadOutcome outcome;
  ui::ScopedPresenter operatorStandIn([&](const ui::MessageBoxView& view) {
    outcome.messages.push_back(view.number);
    outcome.texts.push_back(view.text);
    return ui::Choice::Command1;
  });
  DownloadProgress progress(out, terminal);
  outcome.result = object.GetMacData(machine);
  progress.finish();
  outcome.total = progress.total();
  outcome.seconds = progress.seconds();
  outcome.logLines = progress.logLines();
  outcome.ending = attend::lastDownload().ending;
  return outcome;
}

namespace {

std::string messageText(const DownloadOutcome& outcome) {
  std::string words;
  for (const std::string& text : outcome.texts) words += (words.empty() ? "" : " ") + text;
  return words;
}

}  // namespace

int reportAttendDownload(std::ostream& out, int16_t machine, const std::string& database,
                         const DownloadOutcome& outcome) {
  const std::string terminal = "terminal " + std::to_string(machine);
  const std::string into = db::namesSqliteFile(database) ? database : "the database";
  if (outcome.result > 0) {
    char timing[64];
    std::snprintf(timing, sizeof timing, " in %.1f s (%.1f records/s)", outcome.seconds,
                  outcome.seconds > 0 ? outcome.result / outcome.seconds : 0.0);
    out << terminal << ": " << outcome.result << " records downloaded into " << into << timing
        << "\n";
    if (!outcome.texts.empty()) out << "  on the way: " << messageText(outcome) << "\n";
    return kExitOk;
  }
  if (outcome.result == 0 && outcome.messages == std::vector<int32_t>{ui::msg::kNoRecords}) {
    out << terminal << " holds no records: " << messageText(outcome) << "\n";
    return kExitOk;
  }
  using Ending = attend::DownloadReport::Ending;
  if (outcome.ending == Ending::kOutcomeUnknown) {
    out << terminal << ": download failed: the database connection dropped while the "
        << outcome.total
        << " records were being committed, and whether they were stored cannot be told: look in "
           "WorkCardSource before downloading again; the terminal still holds them\n";
    return kExitFailed;
  }
  if (outcome.ending == Ending::kStopped) {
    out << terminal << ": download stopped on request: nothing of it was kept; the terminal "
        << "still holds its " << outcome.total << " records\n";
    return kExitFailed;
  }
  std::string why = messageText(outcome);
  if (why.empty() && outcome.logLines > 0) {
    why = outcome.result < 0
              ? "the database cannot be opened (see above); the terminal was not asked"
              : "the database did not take the records (see above)";
  } else if (why.empty()) {
    why = "a record came from another terminal";
  }
  out << terminal << ": download failed: " << why << "\n";
  if (outcome.result == 0 && outcome.total > 0) {
    out << "  nothing of it was kept; the terminal still holds its " << outcome.total
        << " records\n";
  }
  return kExitFailed;
}

int attendDownload(const AttendOptions& options, component::Attend& object) {
  const std::string& database = options.values.at("--db");
  if (db::namesSqliteFile(database)) {
    std::string problem;
    if (!prepareSqliteFile(database, problem)) {
      std::cout << "cannot prepare the SQLite file " << database << ": " << problem << "\n";
      return kExitFailed;
    }
  }
  object.setConnectString(database);
  StopOnSignals stopOnSignals;
  const DownloadOutcome outcome =
      runAttendDownload(object, options.machine, std::cout, ::isatty(STDOUT_FILENO) == 1);
  return reportAttendDownload(std::cout, options.machine, database, outcome);
}

}  // namespace solvard::tool
