#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "component/prohibit.hpp"
#include "ui/presenter.hpp"

// What the readable door commands (`solvard door ...`) share.
namespace solvard::tool {

// The options of one door command: the terminal, the line, and the command's own values.
struct DoorOptions {
  int16_t machine = -1;
  std::string port;
  int16_t baud = 9600;
  std::map<std::string, std::string> values;  // "--card" -> "12345"
  std::set<std::string> flags;                // "--now"
};

// Reads `--machine M` (0 to 255) and `--port N|PATH` (both required), `--baud N` (default
// 9600), plus the command's own options: `valueOptions` take a value, `flagOptions` none.
// False with the reason when the words do not fit.
bool parseDoorOptions(const std::vector<std::string>& args,
                      const std::set<std::string>& valueOptions,
                      const std::set<std::string>& flagOptions, DoorOptions& options,
                      std::string& problem);

// A `Prohibit` object whose port properties put the library-wide settings on the options' port
// and rate; null with the reason when the port option names neither a number nor a device.
std::unique_ptr<component::Prohibit> doorObjectFor(const DoorOptions& options,
                                                   std::string& problem);

// Stands in for the operator while a command runs: the texts of the messages the library shows
// are kept for the command to print, each answered "OK".
class DoorMessages {
 public:
  DoorMessages();
  // The texts shown since the last call, joined by "; "; empty when none was.
  std::string take();

 private:
  std::vector<std::string> texts_;
  ui::ScopedPresenter presenter_;
};

}  // namespace solvard::tool
