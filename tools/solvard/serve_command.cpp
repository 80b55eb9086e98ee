#include <CLI/CLI.hpp>
#include <chrono>
#include <filesystem>
#include <iostream>
#include <thread>

#include "collect_config.hpp"
#include "commands.hpp"
#include "serve_service.hpp"
#include "serve_tokens.hpp"
#include "stop_signals.hpp"

namespace solvard::tool {
namespace {

int serve(const std::string& configPath) {
  CollectConfig config;
  std::vector<ServeToken> tokens;
  try {
    config = readCollectConfig(configPath);
    bool created = false;
    tokens = loadOrCreateTokens(config.serve.tokens, created);
    if (created) {
      std::cerr << "solvard serve: made the token file "
                << std::filesystem::absolute(config.serve.tokens).string()
                << " with one operate token, \"admin\": give its secret as "
                   "\"Authorization: Bearer SECRET\"\n";
    }
  } catch (const std::exception& e) {
    std::cerr << "solvard serve: " << e.what() << "\n";
    return kExitUsage;
  }
  const PassHooks hooks = journalHooks();
  StopOnSignals stopOnSignals;
  Service service(std::move(config), std::move(tokens), hooks);
  std::string problem;
  if (!service.bind(problem)) {
    std::cerr << "solvard serve: " << problem << "\n";
    return kExitFailed;
  }
  std::cerr << "solvard serve: listening on port " << service.port() << "\n" << std::flush;
  // SIGINT or SIGTERM: the passes finish the record in hand and the service ends.
  std::jthread watch([&service](std::stop_token ended) {
    while (!ended.stop_requested() && !StopOnSignals::requested())
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    service.stop();
  });
  service.run();
  return kExitOk;
}

}  // namespace

void addServeCommand(CLI::App& app, int& status) {
  auto config = std::make_shared<std::string>();
  CLI::App* command = app.add_subcommand(
      "serve", "own every line of a config: scheduled passes, an HTTP API and actions");
  command->add_option("-c,--config", *config, "the collector's TOML config with a [serve] table")
      ->required()
      ->option_text("FILE");
  command->footer(
      "Answers on [serve] listen (default 127.0.0.1:8480) until SIGINT or SIGTERM. Exit status: "
      "0 stopped when told, 1 the address cannot be had, 2 a usage, config or token file error.");
  command->callback([config, &status] { status = serve(*config); });
}

}  // namespace solvard::tool
