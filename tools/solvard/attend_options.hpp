#pragma once

#include <cstdint>
#include <iosfwd>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "component/attend.hpp"
#include "terminal_options.hpp"

// What the readable attendance commands (`solvard attend ...`, `solvard clock ...`) share.
namespace solvard::tool {

using AttendOptions = TerminalOptions;

// The shared terminal options, as the attendance commands take them.
inline bool parseAttendOptions(const std::vector<std::string>& args,
                               const std::set<std::string>& valueOptions,
                               const std::set<std::string>& flagOptions, AttendOptions& options,
                               std::string& problem) {
  return parseTerminalOptions(args, valueOptions, flagOptions, options, problem);
}

// An `Attend` object on the port and baud rate of the options. The card-number query runs at
// the library-wide rate, so that is set too.
std::unique_ptr<component::Attend> attendObjectFor(const AttendOptions& options,
                                                   std::string& problem);

// Prints what became of a short command and gives the exit status: 0 when the terminal
// acknowledged (`done` says what it did), else 1 with the messages the operator was shown.
int reportAcknowledgement(std::ostream& out, const AttendOptions& options, int32_t result,
                          const OperatorMessages& messages, const std::string& done);

// The words a command prints for the messages shown, or `otherwise` when none was.
std::string messageWords(const OperatorMessages& messages, const std::string& otherwise);

}  // namespace solvard::tool
