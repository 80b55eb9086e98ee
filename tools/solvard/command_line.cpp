#include "command_line.hpp"

#include <CLI/CLI.hpp>
#include <iostream>

#include "commands.hpp"

namespace solvard::tool {
namespace {

// The deepest subcommand the words chose, and its path: "solvard door allow".
CLI::App* chosenCommand(CLI::App& app, std::string& path) {
  path = app.get_name();
  CLI::App* at = &app;
  while (true) {
    auto chosen = at->get_subcommands();
    if (chosen.empty()) return at;
    at = chosen.front();
    path += " " + at->get_name();
  }
}

// A word where a command or an action was awaited reads better named than as a missing
// subcommand.
std::string problemOf(CLI::App& command, const CLI::ParseError& error) {
  const std::vector<std::string> left = command.remaining();
  const bool awaitsOne = !command.get_subcommands([](const CLI::App*) { return true; }).empty();
  if (awaitsOne && !left.empty() && !left.front().starts_with("-") &&
      (error.get_name() == "RequiredError" || error.get_name() == "ExtrasError")) {
    return std::string(command.get_parent() == nullptr ? "no command" : "no action") + " \"" +
           left.front() + "\"";
  }
  if (awaitsOne && left.empty() && error.get_name() == "RequiredError" &&
      command.get_subcommands().empty()) {
    return command.get_parent() == nullptr ? "name a command" : "name an action";
  }
  return error.what();
}

}  // namespace

void configureApp(CLI::App& app) {
  app.option_defaults()->always_capture_default(false);
  app.get_formatter()->column_width(30);
  app.set_help_flag("-h,--help", "print this help and exit");
}

int reportParseError(CLI::App& app, const CLI::ParseError& error) {
  if (error.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success)) {
    return app.exit(error, std::cout, std::cerr);
  }
  std::string path;
  CLI::App* command = chosenCommand(app, path);
  std::cerr << path << ": " << problemOf(*command, error) << " (see '" << path << " --help')\n";
  return kExitUsage;
}

}  // namespace solvard::tool
