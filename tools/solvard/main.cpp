#include <iostream>
#include <string>
#include <vector>

#include "automation/error.hpp"
#include "commands.hpp"
#include "host_language.hpp"

namespace {

void usage(std::ostream& out) {
  out << "usage: solvard COMMAND [OPTIONS]\n"
         "\n"
         "commands:\n"
         "  interface [--json]           the interfaces of Attend and Prohibit, member by member\n"
         "  session                      drive the library with one JSON request per input line\n"
         "  invoke CLASS MEMBER [ARG...] one call on a fresh object (--set, --port, --json)\n"
         "  simulate                     play terminals on a pseudo-terminal line\n"
         "  attend ACTION --machine M    clear records or cards, delete a card, set a flow\n"
         "                               number, read the card number or download the\n"
         "                               records of a terminal\n"
         "  clock set --machine M        set an attendance terminal's date and time\n"
         "  door ACTION --machine M      drive an access-control terminal (door --help)\n"
         "  demo                         download a simulated terminal's records into an\n"
         "                               SQLite file through the library\n"
         "\n"
         "Messages to the operator are shown in English; --lang FILE.rc (before the command)\n"
         "takes them from another language module.\n";
}

}  // namespace

int main(int argc, char** argv) {
  using namespace solvard::tool;
  if (argc < 2) {
    usage(std::cerr);
    return kExitUsage;
  }
  std::vector<std::string> words(argv + 1, argv + argc);
  std::string languageFile;
  if (words.size() >= 2 && words[0] == "--lang") {
    languageFile = words[1];
    words.erase(words.begin(), words.begin() + 2);
  }
  try {
    installHostLanguage(languageFile);
  } catch (const solvard::automation::AutomationError& e) {
    std::cerr << "solvard: " << e.description() << "\n";
    return kExitUsage;
  }
  if (words.empty()) {
    usage(std::cerr);
    return kExitUsage;
  }
  std::string command = words[0];
  std::vector<std::string> args(words.begin() + 1, words.end());
  if (command == "interface") return interfaceCommand(args);
  if (command == "session") return sessionCommand(args);
  if (command == "invoke") return invokeCommand(args);
  if (command == "simulate") return simulateCommand(args);
  if (command == "attend") return attendCommand(args);
  if (command == "clock") return clockCommand(args);
  if (command == "door") return doorCommand(args);
  if (command == "demo") return demoCommand(args);
  if (command == "--help" || command == "-h" || command == "help") {
    usage(std::cout);
    return kExitOk;
  }
  std::cerr << "solvard: unknown command \"" << command << "\"\n";
  usage(std::cerr);
  return kExitUsage;
}
