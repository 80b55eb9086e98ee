#include "command_line.hpp"

#include <CLI/CLI.hpp>
#include <iostream>

#include "commands.hpp"

namespace solvard::tool {
namespace {

// "solvard door allow": the subcommands the words chose, deepest last.
std::string commandPath(CLI::App& app) {
  std::string path = app.get_name();
  CLI::App* at = &app;
  while (true) {
    auto chosen = at->get_subcommands();
    if (chosen.empty()) break;
    at = chosen.front();
    path += " " + at->get_name();
  }
  return path;
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
  const std::string path = commandPath(app);
  std::cerr << path << ": " << error.what() << " (see '" << path << " --help')\n";
  return kExitUsage;
}

void addWordListCommand(CLI::App& app, const std::string& name, const std::string& description,
                        int (*run)(const std::vector<std::string>&), int& status) {
  CLI::App* sub = app.add_subcommand(name, description);
  sub->prefix_command();
  sub->set_help_flag();
  sub->callback([sub, run, &status] { status = run(sub->remaining()); });
}

}  // namespace solvard::tool
