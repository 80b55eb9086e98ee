#include "verify_check.hpp"

#include <map>

#include "collect_schema.hpp"
#include "line_options.hpp"

namespace solvard::tool {
namespace {

struct LedgerEntry {
  std::string pass, startedAt, endedAt;
  int given = 0, stored = 0, alreadyStored = 0, kept = 0, fromKept = 0;
  bool cleared = false;
  std::string clearWindowMs, error;
};

int number(const std::string& text) {
  try {
    return std::stoi(text);
  } catch (const std::exception&) {
    return 0;
  }
}

std::string terminalWhere(const std::string& line, int machine) {
  return " where line = " + sqlText(line) + " and machine = " + std::to_string(machine);
}

bool query(db::Connection& connection, const std::string& statement, db::Rows& rows,
           std::string& problem) {
  if (connection.queryRows(statement, rows) == db::Outcome::kOk) return true;
  problem = connection.lastDiagnostic().text();
  return false;
}

void add(TerminalCheck& check, std::string pass, std::string cause, int missing,
         std::string detail) {
  check.missing += missing;
  check.gaps.push_back({std::move(pass), std::move(cause), missing, std::move(detail)});
}

std::string records(int count) {
  return std::to_string(count) + (count == 1 ? " record" : " records");
}

// What one pass's ledger row and the rows it stored say together.
void checkPass(TerminalCheck& check, const LedgerEntry& entry, int rowsOfPass) {
  const bool clock = check.kind == TerminalKind::attend;
  if (entry.endedAt.empty()) {
    // Each row the pass wrote was committed with its count, so what it counted is there; the
    // record in hand was not acknowledged, so the terminal still holds it.
    add(check, entry.pass, "pass_unfinished", 0,
        "began at " + entry.startedAt +
            " and never finished (the collector was stopped or died mid-download); the terminal "
            "still holds what it did not count");
  }
  if (rowsOfPass < entry.stored) {
    add(check, entry.pass, "rows_missing", entry.stored - rowsOfPass,
        "stored " + records(entry.stored) + " by its ledger, the table holds " +
            std::to_string(rowsOfPass));
  } else if (rowsOfPass > entry.stored + entry.kept) {
    add(check, entry.pass, "rows_unaccounted", rowsOfPass - entry.stored - entry.kept,
        "the table holds " + records(rowsOfPass) + " of this pass, its ledger accounts for " +
            std::to_string(entry.stored) + " stored and " + std::to_string(entry.kept) + " kept");
  } else if (rowsOfPass > entry.stored) {
    add(check, entry.pass, "written_after_unknown_commit", 0,
        records(rowsOfPass - entry.stored) +
            " kept after a commit whose outcome was unknown were stored after all; the pass "
            "that writes the kept copy finds them stored");
  }
  const int unaccounted =
      entry.given + entry.fromKept - entry.stored - entry.alreadyStored - entry.kept;
  // A clock's download is stored whole or not at all, and an uncleared clock keeps it all.
  const bool clockKeepsThem = clock && !entry.cleared && entry.stored + entry.alreadyStored == 0;
  if (unaccounted > 0 && !clockKeepsThem) {
    add(check, entry.pass, "lost", unaccounted,
        records(unaccounted) + " the terminal gave are neither stored nor kept" +
            (entry.error.empty() ? "" : " (" + entry.error + ")"));
  } else if (!entry.error.empty()) {
    add(check, entry.pass, "pass_failed", 0,
        entry.error + (clock && !entry.cleared ? "; the clock still holds its records"
                                               : "; the records it gave are accounted for"));
  }
  if (entry.cleared) {
    add(check, entry.pass, "clear_window", 0,
        "the clock was cleared " + entry.clearWindowMs +
            " ms after its count: a punch made in that time is in neither the database nor the "
            "clock");
  }
}

}  // namespace

std::optional<std::vector<TerminalCheck>> verifyCollected(const CollectConfig& config,
                                                          db::Connection& connection,
                                                          KeptRecords& kept, std::string& problem) {
  std::vector<TerminalCheck> checks;
  for (const CollectLine& line : config.lines) {
    std::vector<KeptRecord> waiting;
    std::string unread;
    for (const CollectTerminal& terminal : line.terminals) {
      TerminalCheck check;
      check.line = line.name;
      check.kind = terminal.kind;
      check.machine = terminal.machine;
      check.name = terminal.name;
      const std::string table =
          terminal.kind == TerminalKind::attend ? "attendance_records" : "access_records";
      const std::string where = terminalWhere(line.name, terminal.machine);

      db::Rows ledger;
      if (!query(connection,
                 "select pass_id, started_at, ended_at, given, stored, already_stored, kept, "
                 "from_kept, cleared, clear_window_ms, error from solvard_ledger" +
                     where + " order by started_at, pass_id",
                 ledger, problem)) {
        return std::nullopt;
      }
      db::Rows perPass;
      if (!query(connection, "select pass_id, count(*) from " + table + where + " group by pass_id",
                 perPass, problem)) {
        return std::nullopt;
      }
      std::map<std::string, int> rowsOfPass;
      for (const db::Row& row : perPass) {
        rowsOfPass[row.at(0)] = number(row.at(1));
        check.rows += number(row.at(1));
      }
      check.earlierRows = rowsOfPass.count("") ? rowsOfPass[""] : 0;
      for (const db::Row& row : ledger) {
        if (row.size() < 11) continue;
        LedgerEntry entry{row[0],         row[1],         row[2],         number(row[3]),
                          number(row[4]), number(row[5]), number(row[6]), number(row[7]),
                          row[8] == "1",  row[9],         row[10]};
        ++check.passes;
        check.given += entry.given;
        check.stored += entry.stored;
        check.alreadyStored += entry.alreadyStored;
        check.kept += entry.kept;
        check.fromKept += entry.fromKept;
        checkPass(check, entry, rowsOfPass[entry.pass]);
      }
      if (terminal.kind == TerminalKind::door) {
        waiting.clear();
        if (!kept.recordsOf(deviceOf(line.port).name(), terminal.machine, waiting, unread)) {
          check.unreadable = true;
          add(check, "", "kept_unreadable", 0, unread);
        } else if (!waiting.empty()) {
          check.keptWaiting = static_cast<int>(waiting.size());
          add(check, "", "kept_not_written", 0,
              records(check.keptWaiting) +
                  " kept, not yet written: the next download of this door writes them before "
                  "it prompts");
        }
      }
      checks.push_back(std::move(check));
    }
  }
  return checks;
}

}  // namespace solvard::tool
