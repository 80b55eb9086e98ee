#include "collect_pass.hpp"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <exception>
#include <functional>
#include <optional>
#include <thread>

#include "collect_schema.hpp"
#include "collect_store.hpp"
#include "db/odbc_connection.hpp"
#include "line_options.hpp"
#include "solvard/attend_terminal.hpp"
#include "solvard/door_terminal.hpp"

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
                       TerminalOutcome& outcome) {
  AttendTerminal clock(line, MachineNumber::make(terminal.machine).value());
  AttendanceWriter writer(store);
  const Result<AttendanceSummary> got = clock.download(writer);
  if (store.connection().inTransaction()) store.connection().RollbackTrans();
  if (!got) {
    outcome.error = withProblem(got.error(), writer.problem());
    return;
  }
  outcome.records = got->records;
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

void collectAccess(Line& line, RecordStore& store, const CollectTerminal& terminal,
                   TerminalOutcome& outcome) {
  DoorTerminal door(line, MachineNumber::make(terminal.machine).value());
  std::string problem;
  int written = 0;
  const Result<AccessSummary> got = door.download([&](const AccessRecord& record) {
    // The next prompt makes the terminal forget this record: it must be committed first.
    if (!store.writeAccess(record, problem)) return false;
    ++written;
    return true;
  });
  outcome.records = written;
  if (!got) outcome.error = withProblem(got.error(), problem);
}

std::string label(const CollectLine& line, const CollectTerminal& terminal) {
  return "line " + line.name + " terminal " + std::to_string(terminal.machine);
}

std::string doneLine(const TerminalOutcome& outcome) {
  char text[96];
  std::snprintf(text, sizeof text, "%d records in %.1f s", outcome.records, outcome.seconds);
  std::string line = text;
  if (outcome.cleared) {
    std::snprintf(text, sizeof text, ", cleared %.0f ms after the count", *outcome.clearWindowMs);
    line += text;
  }
  if (outcome.error) line += ", failed: " + outcome.error->message();
  return line;
}

// Bytes an earlier exchange left on their way (a clock that went on streaming into a network
// connection that dropped, a pass that was stopped) would be read as the next terminal's reply:
// the line is read until it has been silent for twenty characters' time, at least 100 ms, and
// for at most a minute, which covers the longest stream a clock sends at the slowest rate.
constexpr std::chrono::milliseconds kLongestStream{60'000};

std::chrono::milliseconds quietTime(uint32_t baud) {
  const auto twentyCharacters = std::chrono::milliseconds(200'000 / std::max<uint32_t>(baud, 1));
  return std::max(std::chrono::milliseconds(100), twentyCharacters);
}

// Waits for the line to go quiet; an error only when it does not, so the terminals not yet asked
// are not asked into bytes no one can read. A port that does not open is left to each terminal
// to report as its own failure, and a stop to the pass's own check.
std::optional<Error> settleLine(Line& line, const CollectLine& config,
                                const std::function<void(const std::string&)>& log) {
  const Result<std::size_t> got = line.awaitQuiet(quietTime(config.baud), kLongestStream);
  if (got) {
    if (*got > 0 && log) {
      log("line " + config.name + ": dropped " + std::to_string(*got) +
          " bytes an earlier exchange left on the line");
    }
    return std::nullopt;
  }
  if (got.error().code() == Errc::unexpected_reply) return got.error();
  return std::nullopt;
}

void collectLine(const CollectLine& config, const std::string& database, const PassHooks& hooks,
                 std::vector<TerminalOutcome>& outcomes) {
  std::string current = "line " + config.name;
  LineHooks lineHooks;
  lineHooks.log = [&](const std::string& text) {
    if (hooks.log) hooks.log(current + ": " + text);
  };
  lineHooks.stopRequested = hooks.stopRequested;
  auto made = Line::make(deviceOf(config.port), LineSettings{config.baud}, lineHooks);
  RecordStore store(database, config.name);
  bool settle = true;
  for (std::size_t i = 0; i < config.terminals.size(); ++i) {
    if (made && settle) {
      settle = false;
      if (auto unsettled = settleLine(*made, config, hooks.log)) {
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
    current = label(config, terminal);
    const Clock::time_point start = Clock::now();
    try {
      if (!made) {
        outcome.error = made.error();
      } else if (terminal.kind == TerminalKind::attend) {
        collectAttendance(*made, store, terminal, outcome);
      } else {
        collectAccess(*made, store, terminal, outcome);
      }
    } catch (const std::exception& e) {
      outcome.error = Error(Errc::port_failed, e.what());
    }
    outcome.seconds = secondsSince(start);
    // A failed exchange may have left a terminal sending.
    settle = outcome.error.has_value();
    outcome.warned = outcome.records > terminal.warnAbove;
    if (hooks.log) {
      hooks.log(current + ": " + doneLine(outcome));
      if (outcome.warned) {
        hooks.log(current + ": more records than warn_above (" +
                  std::to_string(terminal.warnAbove) + "): collect more often");
      }
    }
  }
}

}  // namespace

PassOutcome runCollectPass(const CollectConfig& config, const PassHooks& hooks) {
  PassOutcome pass;
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
  std::vector<std::jthread> threads;
  for (std::size_t i = 0; i < config.lines.size(); ++i) {
    threads.emplace_back([&, i] {
      try {
        collectLine(config.lines[i], config.database, hooks, perLine[i]);
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
