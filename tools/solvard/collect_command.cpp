#include <CLI/CLI.hpp>
#include <chrono>
#include <iostream>
#include <thread>

#include "collect_config.hpp"
#include "collect_pass.hpp"
#include "collect_report.hpp"
#include "collect_schedule.hpp"
#include "commands.hpp"
#include "stop_signals.hpp"

namespace solvard::tool {
namespace {

struct CollectWords {
  std::string config;
  bool once = false;
  std::string every;
  bool json = false;
};

// Waits until `until` or a stop signal, whichever comes first, in short slices so that a
// signal ends the wait at once.
void waitForNextPass(std::chrono::steady_clock::time_point until) {
  while (!StopOnSignals::requested() && std::chrono::steady_clock::now() < until)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
}

int collect(const CollectWords& words) {
  std::optional<std::chrono::seconds> every;
  if (!words.every.empty()) {
    std::string problem;
    every = passInterval(words.every, problem);
    if (!every) throw CLI::ValidationError("--every", problem);
  }
  CollectConfig config;
  try {
    config = readCollectConfig(words.config);
  } catch (const ConfigError& e) {
    std::cerr << "solvard collect: " << e.what() << "\n";
    return kExitUsage;
  }
  PassHooks hooks = journalHooks();
  hooks.stopRequested = [] { return StopOnSignals::requested(); };
  StopOnSignals stopOnSignals;
  int status = kExitOk;
  while (true) {
    const auto started = std::chrono::steady_clock::now();
    const PassOutcome pass = runCollectPass(config, hooks);
    status = passExitStatus(pass);
    if (words.json) {
      std::cout << passJson(pass).dump(-1, ' ', false,
                                       nlohmann::ordered_json::error_handler_t::replace)
                << "\n"
                << std::flush;
    } else {
      (pass.database ? std::cerr : std::cout) << passText(pass) << std::flush;
    }
    if (!every || StopOnSignals::requested()) break;
    waitForNextPass(started + *every);
    if (StopOnSignals::requested()) break;
  }
  // A collector that repeats ends only when told to: that is no failure of the service.
  if (every && StopOnSignals::requested()) return kExitOk;
  return status;
}

}  // namespace

void addCollectCommand(CLI::App& app, int& status) {
  auto words = std::make_shared<CollectWords>();
  CLI::App* command = app.add_subcommand(
      "collect", "download every terminal of every line in a config into the database");
  command->add_option("-c,--config", words->config, "the collector's TOML config")
      ->required()
      ->option_text("FILE");
  auto* once = command->add_flag("--once", words->once, "one pass, then end (the default)");
  auto* every = command
                    ->add_option("--every", words->every,
                                 "a pass every DURATION (30s, 5m, 1h) until SIGINT or SIGTERM")
                    ->option_text("DURATION");
  once->excludes(every);
  command->add_flag("--json", words->json, "print one JSON object a pass");
  command->footer(
      "Exit status: 0 every terminal collected, 1 a terminal or its line failed, 2 a usage or "
      "config error, 3 the database failed.");
  command->callback([words, &status] { status = collect(*words); });
}

}  // namespace solvard::tool
