#pragma once

#include <optional>
#include <string>
#include <vector>

#include "collect_config.hpp"
#include "db/connection.hpp"
#include "solvard/kept_records.hpp"

namespace solvard::tool {

// Something the ledger and the tables say about records that are not simply stored once.
struct VerifyGap {
  std::string pass;   // the pass it concerns; empty for the kept records
  std::string cause;  // "pass_failed", "pass_unfinished", "lost", "rows_missing",
                      // "rows_unaccounted", "written_after_unknown_commit", "clear_window",
                      // "kept_not_written", "kept_unreadable"
  int missing = 0;    // records this gap loses or doubles (0: none are missing)
  std::string detail;
};

// One terminal of the config, as the ledger and the tables account for it.
struct TerminalCheck {
  std::string line;
  TerminalKind kind = TerminalKind::attend;
  int machine = 0;
  std::string name;
  int passes = 0;
  int given = 0, stored = 0, alreadyStored = 0, kept = 0, fromKept = 0;
  int rows = 0;             // rows the table holds for the terminal
  int earlierRows = 0;      // of them, rows stored before the ledger began (no pass)
  int keptWaiting = 0;      // records in the kept-records store, not yet written
  int missing = 0;          // records lost or doubled, the sum of the gaps'
  bool unreadable = false;  // the kept-records store could not be read
  std::vector<VerifyGap> gaps;

  bool complete() const { return missing == 0 && !unreadable; }
};

// Reads the ledger and the tables for every terminal of `config` on an open connection, and
// the kept records from `kept`. Nothing when the tables cannot be read, with the problem.
std::optional<std::vector<TerminalCheck>> verifyCollected(const CollectConfig& config,
                                                          db::Connection& connection,
                                                          KeptRecords& kept, std::string& problem);

}  // namespace solvard::tool
