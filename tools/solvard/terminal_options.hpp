#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "ui/presenter.hpp"

// What the readable terminal commands (`solvard door ...`, `solvard attend ...`,
// `solvard clock ...`) share.
namespace solvard::tool {

// The options of one terminal command: the terminal, the line, and the command's own values.
struct TerminalOptions {
  int16_t machine = -1;
  std::string port;
  int16_t baud = 9600;
  std::map<std::string, std::string> values;  // "--card" -> "12345"
  std::set<std::string> flags;                // "--now"
};

// Reads `--machine M` (0 to 255) and `--port N|PATH` (both required), `--baud N` (default
// 9600), plus the command's own options: `valueOptions` take a value, `flagOptions` none.
// False with the reason when the words do not fit.
bool parseTerminalOptions(const std::vector<std::string>& args,
                          const std::set<std::string>& valueOptions,
                          const std::set<std::string>& flagOptions, TerminalOptions& options,
                          std::string& problem);

// Stands in for the operator while a command runs: the texts of the messages the library shows
// are kept for the command to print, each answered "OK".
class OperatorMessages {
 public:
  OperatorMessages();
  const std::vector<std::string>& texts() const { return texts_; }
  // The texts shown since the last call, joined by "; "; empty when none was.
  std::string take();

 private:
  std::vector<std::string> texts_;
  ui::ScopedPresenter presenter_;
};

}  // namespace solvard::tool
