#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>
#include <memory>

#include "action_report.hpp"
#include "collect_config.hpp"
#include "commands.hpp"
#include "line_options.hpp"
#include "line_scan.hpp"
#include "progress_display.hpp"
#include "stop_signals.hpp"

namespace solvard::tool {
namespace {

struct ScanWords {
  LineOptions line;
  std::string machines = "1-254";
};

// "about 3 min": how long a scan of `count` silent numbers may take at most.
std::string durationText(std::chrono::seconds most) {
  if (most.count() < 120) return std::to_string(most.count()) + " s";
  return std::to_string((most.count() + 59) / 60) + " min";
}

int scan(const ScanWords& words) {
  std::string problem;
  const std::vector<uint8_t> machines = machineRange(words.machines, problem);
  if (!problem.empty()) throw CLI::ValidationError("--machines", problem);
  for (const uint8_t machine : machines) {
    if (machine == 0 || machine == 255)
      throw CLI::ValidationError("--machines", "machine numbers 1 to 254 answer a scan");
  }
  std::cerr << "solvard scan: asking machines " << words.machines << " on " << words.line.port
            << " at " << words.line.baud << " baud: at most "
            << durationText(kSilentMachineCost * static_cast<int>(machines.size()))
            << " (a number nobody answers costs up to " << kSilentMachineCost.count() << " s)\n"
            << std::flush;
  ProgressDisplay progress(std::cerr, "scan",
                           progressShown(words.line.progress, words.line.noProgress),
                           terminalColumns());
  StopOnSignals stopOnSignals;
  ActionLine line(words.line);
  const ScanOutcome outcome = scanLine(
      line.line(), machines, [&](int done, int total) { progress.update(done, total); },
      [] { return StopOnSignals::requested(); });
  progress.finish();
  ActionReport report{"scan", std::nullopt};
  report.result = {{"port", words.line.port},
                   {"baud", words.line.baud},
                   {"asked", outcome.asked},
                   {"terminals", scanJson(outcome.found)}};
  report.seconds = progress.seconds();
  if (outcome.line) {
    report.error = outcome.line;
    return finish(report, words.line.json);
  }
  std::string found;
  for (const ScanFinding& finding : outcome.found) {
    found += (found.empty() ? "" : ", ") + std::to_string(finding.machine) + " " + finding.kind;
  }
  report.done = std::to_string(outcome.found.size()) + " of " + std::to_string(outcome.asked) +
                " machine numbers answered" + (found.empty() ? "" : ": " + found);
  return finish(report, words.line.json);
}

}  // namespace

void addScanCommand(CLI::App& app, int& status) {
  auto words = std::make_shared<ScanWords>();
  CLI::App* command =
      app.add_subcommand("scan", "find which machine numbers answer on a line, and as which kind");
  command
      ->add_option("-p,--port", words->line.port,
                   "the line: a port number 1 to 255 (1 is /dev/ttyS0) or a device path")
      ->required()
      ->envname("SOLVARD_PORT")
      ->check(CLI::Validator([](std::string& port) { return portProblem(port); }, "N|PATH"));
  command->add_option("-b,--baud", words->line.baud, "the line's baud rate (default 9600)")
      ->envname("SOLVARD_BAUD")
      ->check(CLI::Range(1u, 4'000'000u));
  command->add_option("--machines", words->machines,
                      "the machine numbers to ask: \"1-254\" (the default), \"3\" or \"1-16\"");
  command->add_flag("--json", words->line.json, "print one JSON object with the outcome");
  addProgressOptions(*command, words->line);
  command->footer(
      "Asks each number the door's lock-state query, then the clock's original-card read: "
      "neither changes what a terminal holds. Exit status: 0 scanned, 1 the line failed, 2 a "
      "usage error.");
  command->callback([words, &status] { status = scan(*words); });
}

}  // namespace solvard::tool
