#include "collect_pass.hpp"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <exception>
#include <functional>
#include <iostream>
#include <mutex>
#include <optional>
#include <random>
#include <thread>

#include "collect_report.hpp"
#include "collect_schema.hpp"
#include "collect_store.hpp"
#include "db/odbc_connection.hpp"
#include "line_options.hpp"
#include "line_settle.hpp"
#include "pending_file.hpp"
#include "solvard/attend_terminal.hpp"
#include "solvard/door_terminal.hpp"
#include "utc_text.hpp"

namespace solvard::tool {
namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

std::optional<Error> prepareDatabase(const std::string& database) {
  auto connection = db::makeOdbcConnection();
  if (connection->Open(database) != db::Outcome::kOk) {
    return Error(Errc::database_unavailable, connection->lastDiagnostic().text());
  }
  const std::string problem = prepareCollectTables(*connection);
  if (problem.empty()) return std::nullopt;
  return Error(Errc::database_unavailable, problem);
}

// The database's own words replace the library's general ones when the writer heard them.
Error withProblem(const Error& error, const std::string& problem) {
  if (problem.empty()) return error;
  if (error.code() != Errc::sink_refused && error.code() != Errc::database_refused &&
      error.code() != Errc::database_unavailable) {
    return error;
  }
  return Error(error.code(), problem);
}

void collectAttendance(Line& line, RecordStore& store, const CollectTerminal& terminal,
                       TerminalOutcome& outcome, LedgerRow& ledger) {
  AttendTerminal clock(line, MachineNumber::make(terminal.machine).value());
  AttendanceWriter writer(store, ledger);
  const Result<AttendanceSummary> got = clock.download(writer);
  if (store.connection().inTransaction()) store.connection().RollbackTrans();
  if (!got) {
    outcome.error = withProblem(got.error(), writer.problem());
    return;
  }
  // With no record there is nothing to make room for, and a clear could only lose a punch that
  // came after the count.
  if (terminal.clear != ClearPolicy::afterCommit || got->records == 0) return;
  const Result<void> cleared = clock.clearRecords();
  outcome.clearWindowMs =
      std::chrono::duration<double, std::milli>(Clock::now() - writer.countCame()).count();
  if (cleared) {
    outcome.cleared = true;
  } else {
    outcome.error =
        Error(cleared.error().code(), "the records are stored but the terminal still holds them: " +
                                          cleared.error().message());
  }
}

void collectAccess(Line& line, KeptRecords& kept, RecordStore& store,
                   const CollectTerminal& terminal, const std::string& device,
                   TerminalOutcome& outcome, LedgerRow& ledger) {
  DoorTerminal door(line, MachineNumber::make(terminal.machine).value());
  std::string problem;
  const auto keptFor = [&](const std::string& line, int machine) {
    return kept.recordsOf(line, static_cast<int16_t>(machine)).size();
  };
  const std::size_t keptBefore = keptFor(device, terminal.machine);
  int refused = 0;
  // A door that keeps sending records must not hold up the line's other terminals: at its
  // pass_time the door keeps the rest for the next pass.
  const AccessBounds bounds{AccessBounds{}.records, terminal.passTime};
  const Result<AccessSummary> got = door.download(
      [&](const AccessRecord& record) {
        // The next prompt makes the terminal forget this record: it must be committed first.
        // One that is not is kept under its identity, so writing it again in a later pass,
        // should this commit have happened after all, adds nothing.
        if (store.writeAccess(record, ledger, problem)) return true;
        if (!record.keptEarlier) ++refused;
        return false;
      },
      bounds);
  // Kept now, less those kept before that are written now: the records this pass kept.
  const std::size_t keptAfter = keptFor(device, terminal.machine);
  ledger.kept = static_cast<int>(keptAfter) - static_cast<int>(keptBefore) + ledger.fromKept;
  // A refused record the library could keep counts as given and kept; one it could not keep is
  // given and lost, which the counts then show.
  ledger.given += refused;
  if (!got) {
    outcome.error = withProblem(got.error(), problem);
  } else {
    outcome.more = got->more;
  }
}

std::string label(const CollectLine& line, const CollectTerminal& terminal) {
  return "line " + line.name + " terminal " + std::to_string(terminal.machine);
}

std::string doneLine(const TerminalOutcome& outcome) {
  std::string line = countsText(outcome);
  char text[96];
  std::snprintf(text, sizeof text, " in %.1f s", outcome.seconds);
  line += text;
  if (outcome.cleared) {
    std::snprintf(text, sizeof text, ", cleared %.0f ms after the count", *outcome.clearWindowMs);
    line += text;
  }
  if (outcome.error) line += ", failed: " + outcome.error->message();
  return line;
}

// Waits for the line to go quiet (line_settle.hpp); an error only when it does not, so the
// terminals not yet asked are not asked into bytes no one can read.
std::optional<Error> settleCollectLine(Line& line, const CollectLine& config,
                                       const std::function<void(const std::string&)>& log) {
  return settleLine(line, config.baud, deviceOf(config.port).name(), [&](const std::string& text) {
    if (log) log("line " + config.name + ": " + text);
  });
}

// The terminal's ledger row as the pass leaves it. Written on its own once the terminal is done
// (the rows it describes are committed already); a database that cannot take it is logged.
void finishLedger(RecordStore& store, LedgerRow& ledger, TerminalOutcome& outcome,
                  const std::function<void(const std::string&)>& log) {
  ledger.endedAt = ledgerTimeNow();
  ledger.cleared = outcome.cleared;
  if (outcome.clearWindowMs) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", *outcome.clearWindowMs);
    ledger.clearWindowMs = text;
  }
  if (!outcome.error && !ledger.addsUp()) {
    outcome.error = Error(Errc::database_refused,
                          "the counts do not add up: " + std::to_string(ledger.given) +
                              " given and " + std::to_string(ledger.fromKept) +
                              " kept ones written, but " + std::to_string(ledger.stored) +
                              " stored, " + std::to_string(ledger.alreadyStored) +
                              " already stored and " + std::to_string(ledger.kept) + " kept");
  }
  ledger.error = outcome.error ? outcome.error->message() : "";
  outcome.records = ledger.given;
  outcome.given = ledger.given;
  outcome.stored = ledger.stored;
  outcome.alreadyStored = ledger.alreadyStored;
  outcome.kept = ledger.kept;
  outcome.fromKept = ledger.fromKept;
  std::string problem;
  if (store.open(problem) && store.writeLedger(ledger, problem)) return;
  if (log) log("the ledger row of this pass could not be written: " + problem);
}

void collectLine(const CollectLine& config, const std::string& database, const std::string& passId,
                 const PassHooks& hooks, const std::shared_ptr<KeptRecords>& kept,
                 std::vector<TerminalOutcome>& outcomes) {
  std::string current = "line " + config.name;
  LineHooks lineHooks;
  lineHooks.log = [&](const std::string& text) {
    if (hooks.log) hooks.log(current + ": " + text);
  };
  lineHooks.stopRequested = hooks.stopRequested;
  auto made = Line::make(deviceOf(config.port), LineSettings{config.baud}, lineHooks);
  // The door forgets a record at its next prompt, whichever pass sends it: one the database
  // refused is kept where the next pass looks first.
  if (made) made->setKeptRecords(kept);
  RecordStore store(database, config.name, passId, lineHooks.log);
  bool settle = true;
  for (std::size_t i = 0; i < config.terminals.size(); ++i) {
    if (made && settle) {
      settle = false;
      if (auto unsettled = settleCollectLine(*made, config, hooks.log)) {
        for (std::size_t j = i; j < outcomes.size(); ++j)
          outcomes[j].error = Error(unsettled->code(), "not asked: " + unsettled->message());
        if (hooks.log) hooks.log("line " + config.name + ": " + unsettled->message());
        break;
      }
    }
    if (hooks.stopRequested && hooks.stopRequested()) {
      // Every terminal is listed, so one a stop left unasked shows as not done.
      for (std::size_t j = i; j < outcomes.size(); ++j)
        outcomes[j].error = Error(Errc::stopped, "not asked: the collector was told to stop");
      break;
    }
    const CollectTerminal& terminal = config.terminals[i];
    TerminalOutcome& outcome = outcomes[i];
    outcome.asked = true;
    current = label(config, terminal);
    const Clock::time_point start = Clock::now();
    LedgerRow ledger;
    ledger.passId = passId;
    ledger.line = config.name;
    ledger.machine = terminal.machine;
    ledger.kind = terminal.kind == TerminalKind::attend ? "attend" : "door";
    ledger.startedAt = ledgerTimeNow();
    // Written before the terminal is asked: a pass that ends mid-download shows as unfinished.
    std::string unwritten;
    if (!store.open(unwritten) || !store.writeLedger(ledger, unwritten)) {
      if (hooks.log) hooks.log(current + ": the ledger row cannot be written: " + unwritten);
    }
    try {
      if (!made) {
        outcome.error = made.error();
      } else if (terminal.kind == TerminalKind::attend) {
        collectAttendance(*made, store, terminal, outcome, ledger);
      } else {
        collectAccess(*made, *kept, store, terminal, deviceOf(config.port).name(), outcome, ledger);
      }
    } catch (const std::exception& e) {
      outcome.error = Error(Errc::port_failed, e.what());
    }
    outcome.seconds = secondsSince(start);
    finishLedger(store, ledger, outcome, [&](const std::string& text) {
      if (hooks.log) hooks.log(current + ": " + text);
    });
    // A failed exchange may have left a terminal sending.
    settle = outcome.error.has_value();
    outcome.warned = outcome.records > terminal.warnAbove;
    if (hooks.log) {
      hooks.log(current + ": " + doneLine(outcome));
      if (outcome.more) {
        hooks.log(current + ": stopped at its pass_time of " +
                  std::to_string(terminal.passTime.count()) +
                  " s so the line's other terminals are asked; it may hold more, the next pass "
                  "goes on");
      }
      if (outcome.warned) {
        hooks.log(current + ": more records than warn_above (" +
                  std::to_string(terminal.warnAbove) + "): collect more often");
      }
    }
  }
}

// "20261210T074512Z-3fa4c2d1": when the pass began, in UTC, and eight random hex digits, so
// that passes of several collectors into one database never share a name and sort by time.
std::string newPassId() {
  std::random_device entropy;
  char random[9];
  std::snprintf(random, sizeof random, "%08x", static_cast<unsigned>(entropy()));
  return utcText(std::time(nullptr), "%Y%m%dT%H%M%SZ") + "-" + random;
}

}  // namespace

PassHooks journalHooks() {
  PassHooks hooks;
  hooks.log = [lock = std::make_shared<std::mutex>()](const std::string& line) {
    std::lock_guard hold(*lock);
    std::cerr << line << "\n" << std::flush;
  };
  hooks.kept = userPendingFile();
  return hooks;
}

PassOutcome runCollectPass(const CollectConfig& config, const PassHooks& hooks) {
  PassOutcome pass;
  pass.passId = newPassId();
  if (auto problem = prepareDatabase(config.database)) {
    pass.database = problem;
    return pass;
  }
  std::vector<std::vector<TerminalOutcome>> perLine;
  for (const CollectLine& line : config.lines) {
    std::vector<TerminalOutcome> outcomes;
    for (const CollectTerminal& terminal : line.terminals) {
      TerminalOutcome outcome;
      outcome.line = line.name;
      outcome.kind = terminal.kind;
      outcome.machine = terminal.machine;
      outcome.name = terminal.name;
      outcomes.push_back(std::move(outcome));
    }
    perLine.push_back(std::move(outcomes));
  }
  const std::shared_ptr<KeptRecords> kept = hooks.kept ? hooks.kept : keptInMemory();
  std::vector<std::jthread> threads;
  for (std::size_t i = 0; i < config.lines.size(); ++i) {
    threads.emplace_back([&, i] {
      try {
        collectLine(config.lines[i], config.database, pass.passId, hooks, kept, perLine[i]);
      } catch (const std::exception& e) {
        // The other lines go on; this line's terminals not yet done say why they were not.
        for (TerminalOutcome& outcome : perLine[i]) {
          if (!outcome.error && outcome.seconds == 0)
            outcome.error = Error(Errc::port_failed, e.what());
        }
      }
    });
  }
  threads.clear();  // joins every line
  for (auto& outcomes : perLine) {
    for (auto& outcome : outcomes) pass.terminals.push_back(std::move(outcome));
  }
  return pass;
}

}  // namespace solvard::tool
