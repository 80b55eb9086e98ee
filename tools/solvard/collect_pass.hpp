#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "collect_config.hpp"
#include "collect_store.hpp"
#include "solvard/error.hpp"
#include "solvard/kept_records.hpp"

namespace solvard::tool {

// What one terminal gave in a pass.
struct TerminalOutcome {
  std::string line;  // the line's name
  TerminalKind kind = TerminalKind::attend;
  int machine = 0;
  std::string name;
  int records = 0;  // records the terminal gave in this pass
  // The pass's account of the terminal (collect_store.hpp): records given, rows stored, rows
  // found already stored, records kept for a later pass, kept records of earlier passes written.
  int given = 0, stored = 0, alreadyStored = 0, kept = 0, fromKept = 0;
  double seconds = 0;
  std::optional<Error> error;
  bool cleared = false;  // the attendance terminal was told to forget its records
  // From the terminal's count reply to the clear's acknowledgement: a punch in this window is
  // in neither the download nor the terminal.
  std::optional<double> clearWindowMs;
  bool warned = false;  // more records than warn_above
  bool asked = false;   // the pass came to this terminal (a stop can end it before)
  // The door's download stopped at its pass_time: it may hold more, and the next pass goes on.
  bool more = false;
};

struct PassOutcome {
  std::string passId;                      // the ledger's name for this pass
  std::optional<Error> database;           // the tables could not be made: no terminal was asked
  std::vector<TerminalOutcome> terminals;  // in the config's order
};

// How a pass reaches its surroundings: log lines for standard error (called from the lines'
// threads, one whole line at a time) and whether a signal asked to stop.
struct PassHooks {
  std::function<void(const std::string&)> log;
  std::function<bool()> stopRequested;
  // Where the doors' records that cannot be stored are kept for the next pass (empty: in memory,
  // for this pass only).
  std::shared_ptr<KeptRecords> kept;
};

// The hooks of a pass run for a person or a journal: whole log lines on standard error, one at
// a time from the lines' threads, and the doors' records the database refused kept in the
// user's pending file, so that even the next process writes them before that terminal is
// prompted again. No stop is asked.
PassHooks journalHooks();

// Downloads every terminal of every line into the config's database: each line on a thread of
// its own, its terminals one after another. A terminal that fails does not stop the others.
// Once a stop is asked, the record in hand is finished and no further terminal is asked. Each
// terminal's ledger row is written with the rows it describes; a terminal whose counts do not add
// up has failed.
PassOutcome runCollectPass(const CollectConfig& config, const PassHooks& hooks);

}  // namespace solvard::tool
