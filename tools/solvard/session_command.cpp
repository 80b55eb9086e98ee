#include <CLI/CLI.hpp>
#include <iostream>

#include "commands.hpp"
#include "session.hpp"

namespace solvard::tool {

int sessionCommand(const std::vector<std::string>& args) {
  if (!args.empty()) {
    std::cerr << "usage: solvard session   (requests on standard input, one JSON object a line)\n";
    return kExitUsage;
  }
  Session session;
  return session.run(std::cin, std::cout);
}

}  // namespace solvard::tool

namespace solvard::tool {

void addSessionCommand(CLI::App& app, int& status) {
  CLI::App* session =
      app.add_subcommand("session", "drive the library with one JSON request per input line");
  session->footer(
      "Requests on standard input, one JSON object a line; one reply line each on standard "
      "output (see the README for the ops).");
  session->callback([&status] { status = sessionCommand({}); });
}

}  // namespace solvard::tool
