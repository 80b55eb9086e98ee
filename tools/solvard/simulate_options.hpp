#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "simulator/simulator.hpp"

namespace CLI {
class App;
}

namespace solvard::tool {

// The words of `solvard simulate` as read, before they are checked.
struct SimulateWords {
  std::vector<std::string> attend;
  std::vector<std::string> door;
  std::string records = "0";
  std::string link;
  std::string device;
  std::string baud = "9600";
  std::string listen;
  bool paced = false;
  bool echo = false;
  bool quiet = false;
};

// What the simulator is to do, checked.
struct SimulateSettings {
  simulator::SimulatorOptions options;
  std::vector<std::pair<simulator::TerminalKind, uint8_t>> terminals;
  int records = 0;
  bool quiet = false;
};

// Adds the command's options, with their help, to `command`, reading into `words`.
void addSimulateOptions(CLI::App& command, SimulateWords& words);

// The settings the words ask for. Raises CLI::ValidationError, naming the option, for a value
// out of range, a machine number given twice, a --listen that is not ADDRESS:PORT, or no
// terminal at all without --echo.
SimulateSettings simulateSettings(const SimulateWords& words);

}  // namespace solvard::tool
