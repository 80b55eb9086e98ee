#pragma once

#include <cstdint>
#include <iosfwd>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "component/attend.hpp"
#include "ui/presenter.hpp"

// What the readable attendance commands (`solvard attend ...`, `solvard clock ...`) share.
namespace solvard::tool {

// The options of one attendance command: the terminal, the line, and the command's own values.
struct AttendOptions {
  int16_t machine = -1;
  std::string port;
  int16_t baud = 9600;
  std::map<std::string, std::string> values;  // "--card" -> "1234"
  std::set<std::string> flags;                // "--now"
};

// Reads `--machine M` (0 to 255), `--port N|PATH` and `--baud N` (both required but the rate),
// plus the command's own options: `valueOptions` take a value, `flagOptions` none. False with
// the reason when the words do not fit.
bool parseAttendOptions(const std::vector<std::string>& args,
                        const std::set<std::string>& valueOptions,
                        const std::set<std::string>& flagOptions, AttendOptions& options,
                        std::string& problem);

// An `Attend` object on the port and baud rate of the options. The card-number query runs at
// the library-wide rate, so that is set too.
std::unique_ptr<component::Attend> attendObjectFor(const AttendOptions& options,
                                                   std::string& problem);

// Stands in for the operator while a command runs: the texts of the messages the library shows
// are kept for the command to print, each answered "OK".
class OperatorMessages {
 public:
  OperatorMessages();
  const std::vector<std::string>& texts() const { return texts_; }

 private:
  std::vector<std::string> texts_;
  ui::ScopedPresenter presenter_;
};

// Prints what became of a short command and gives the exit status: 0 when the terminal
// acknowledged (`done` says what it did), else 1 with the messages the operator was shown.
int reportAcknowledgement(std::ostream& out, const AttendOptions& options, int32_t result,
                          const OperatorMessages& messages, const std::string& done);

// The words a command prints for the messages shown, or `otherwise` when none was.
std::string messageWords(const OperatorMessages& messages, const std::string& otherwise);

}  // namespace solvard::tool
