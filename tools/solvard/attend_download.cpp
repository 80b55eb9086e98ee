#include "attend_download.hpp"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>

#include "db/connection_text.hpp"
#include "download_line.hpp"
#include "solvard/attend_terminal.hpp"

namespace solvard::tool {

namespace {

// What a person can do about a download that did not end well.
std::string remedy(Errc code, int32_t total) {
  const std::string held =
      total > 0 ? "the terminal still holds its " + std::to_string(total) + " records"
                : "the terminal still holds its records";
  switch (code) {
    case Errc::outcome_unknown: return "look in WorkCardSource before downloading again; " + held;
    case Errc::stopped: return "nothing of it was kept; " + held;
    case Errc::database_refused:
    case Errc::sink_refused:
    case Errc::no_reply:
    case Errc::reply_incomplete:
    case Errc::wrong_machine:
    case Errc::unexpected_reply: return "nothing of it was kept; " + held;
    case Errc::limit_reached:
      return "nothing of it was kept; " + held + "; check the line and the baud rate";
    case Errc::database_unavailable: return "the terminal was not asked";
    default: return {};
  }
}

}  // namespace

ActionReport downloadAttendance(const LineOptions& options, const std::string& database) {
  if (database.empty()) {
    throw CLI::ValidationError("--db", "is empty: give an SQLite file or a connection text");
  }
  ActionReport report{"attend download", options.machine};
  // A download always says how many records it wrote, none when it could not begin.
  report.records = 0;
  report.seconds = 0.0;
  DownloadLine line(options);
  AttendTerminal clock(line.line(), MachineNumber::make(options.machine).value());
  const Result<AttendanceSummary> got =
      line.run([&] { return clock.downloadToDatabase(database); });
  const ProgressDisplay& progress = line.progress();
  report.seconds = progress.seconds();
  const std::string terminal = "terminal " + std::to_string(options.machine);
  if (!got) {
    report.error = got.error();
    report.records = 0;
    report.hint = remedy(got.error().code(), progress.total());
    return report;
  }
  report.records = got->records;
  if (got->records == 0) {
    report.done = terminal + " holds no records: nothing written";
    return report;
  }
  const std::string into = db::namesSqliteFile(database) ? database : "the database";
  char timing[64];
  std::snprintf(timing, sizeof timing, " in %.1f s (%.1f records/s)", *report.seconds,
                *report.seconds > 0 ? got->records / *report.seconds : 0.0);
  report.done =
      terminal + ": " + std::to_string(got->records) + " records downloaded into " + into + timing;
  return report;
}

}  // namespace solvard::tool
