#include "door_download.hpp"

#include <CLI/CLI.hpp>
#include <iostream>

#include "db/connection_text.hpp"
#include "db/table_name.hpp"
#include "download_line.hpp"
#include "pending_file.hpp"
#include "solvard/door_terminal.hpp"

namespace solvard::tool {
namespace {

// "dbo.Records", "main"."Records": a dot outside the quotes names a schema or a database.
bool qualified(std::string_view name) {
  char closing = 0;
  for (const char c : name) {
    if (closing != 0) {
      if (c == closing) closing = 0;
    } else if (c == '"') {
      closing = '"';
    } else if (c == '[') {
      closing = ']';
    } else if (c == '.') {
      return true;
    }
  }
  return false;
}

// What a person can do about a download that did not end well.
std::string remedy(Errc code) {
  switch (code) {
    case Errc::database_refused:
      return "the record is kept and written first by the next download of this terminal";
    case Errc::no_reply: return "the terminal may still hold records: run the download again";
    case Errc::stopped: return "the record in hand was written; the terminal may still hold more";
    case Errc::outcome_unknown: return "the lines above give the record's card and time";
    case Errc::record_pending: return "nothing was asked of the terminal";
    case Errc::reply_incomplete: return "the record stays in the terminal";
    default: return {};
  }
}

}  // namespace

ActionReport downloadDoor(const LineOptions& options, const std::string& table,
                          const std::string& database) {
  if (!db::isTableName(table)) {
    throw CLI::ValidationError("--table",
                               "takes a table name such as Records or \"Access "
                               "Records\", not \"" +
                                   table + "\"");
  }
  if (database.empty())
    throw CLI::ValidationError("--db", "is empty: give an SQLite file or a connection text");
  if (db::namesSqliteFile(database) && qualified(table)) {
    throw CLI::ValidationError(
        "--table",
        "an SQLite file has no schemas: give the table's own name, not \"" + table + "\"");
  }
  ActionReport report{"door download", options.machine};
  // A download always says how many records it wrote, none when it could not begin.
  report.records = 0;
  report.seconds = 0.0;
  DownloadLine line(options);
  DoorTerminal door(line.line(), MachineNumber::make(options.machine).value());
  // The terminal forgets a record at the next prompt, so a record the database refused must
  // outlive this process: the next download writes it before prompting.
  line.line().setKeptRecords(userPendingFile());
  const Result<AccessSummary> got =
      line.run([&] { return door.downloadToDatabase(database, table); });
  const ProgressDisplay& progress = line.progress();
  report.seconds = progress.seconds();
  if (!got) {
    report.error = got.error();
    report.records = progress.done();
    report.hint = remedy(got.error().code());
    return report;
  }
  report.records = got->records;
  report.result = {{"written_first", got->pendingWritten}};
  const std::string terminal = "terminal " + std::to_string(options.machine);
  std::string done = got->records == 0 ? terminal + " holds no records: nothing written"
                                       : terminal + ": " + std::to_string(got->records) +
                                             " records written to " + table;
  if (got->pendingWritten > 0) {
    done += " (" + std::to_string(got->pendingWritten) +
            " kept from an earlier download written first)";
  }
  char timing[48];
  std::snprintf(timing, sizeof timing, " in %.1f s", *report.seconds);
  report.done = done + (got->records > 0 ? timing : "");
  if (got->more) {
    const AccessBounds bounds;
    report.done += "; the download stopped at its bound of " + std::to_string(bounds.records) +
                   " records or " + std::to_string(bounds.time.count() / 60) +
                   " minutes and the terminal may hold more: run it again";
  }
  return report;
}

}  // namespace solvard::tool
