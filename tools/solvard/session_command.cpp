#include <iostream>

#include "command_line.hpp"
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
  addWordListCommand(app, "session", "drive the library with one JSON request per input line",
                     sessionCommand, status);
}

}  // namespace solvard::tool
