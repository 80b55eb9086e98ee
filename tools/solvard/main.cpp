#include <iostream>
#include <string>
#include <vector>

#include "commands.hpp"

namespace {

void usage(std::ostream& out) {
  out << "usage: solvard COMMAND [OPTIONS]\n"
         "\n"
         "commands:\n"
         "  interface [--json]           the interfaces of Attend and Prohibit, member by member\n"
         "  session                      drive the library with one JSON request per input line\n"
         "  invoke CLASS MEMBER [ARG...] one call on a fresh object (--set, --port, --json)\n"
         "  simulate                     play terminals on a pseudo-terminal line\n";
}

}  // namespace

int main(int argc, char** argv) {
  using namespace solvard::tool;
  if (argc < 2) {
    usage(std::cerr);
    return kExitUsage;
  }
  std::string command = argv[1];
  std::vector<std::string> args(argv + 2, argv + argc);
  if (command == "interface") return interfaceCommand(args);
  if (command == "session") return sessionCommand(args);
  if (command == "invoke") return invokeCommand(args);
  if (command == "simulate") return simulateCommand(args);
  if (command == "--help" || command == "-h" || command == "help") {
    usage(std::cout);
    return kExitOk;
  }
  std::cerr << "solvard: unknown command \"" << command << "\"\n";
  usage(std::cerr);
  return kExitUsage;
}
