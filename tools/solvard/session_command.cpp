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
