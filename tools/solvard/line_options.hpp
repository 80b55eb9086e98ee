#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "solvard/line.hpp"

namespace CLI {
class App;
}

namespace solvard::tool {

// What every terminal action reads: the terminal, its line and how the outcome is shown.
struct LineOptions {
  int machine = -1;
  std::string port;
  uint32_t baud = 9600;
  bool json = false;
  bool trace = false;
  bool progress = false;
  bool noProgress = false;
};

// -m/--machine, -p/--port (default $SOLVARD_PORT), -b/--baud (default $SOLVARD_BAUD, else
// 9600), --json and --trace, each checked as it is read.
void addLineOptions(CLI::App& command, LineOptions& options);
// --progress/--no-progress, for the downloads.
void addProgressOptions(CLI::App& command, LineOptions& options);

// The one rule for a port, on the command line and in the collector's config alike: digits only
// are a port number, 1 to 255 (1 is /dev/ttyS0); anything else is a device path or a device
// server's address, so a device path of digits is written ./999. Why `port` is refused (to follow
// "--port: " or "line[1].port: "), or empty when it is taken.
std::string portProblem(const std::string& port);

// The device a port names, once portProblem takes it: a number is the platform's port of that
// number (1 is /dev/ttyS0), anything else a path.
Device deviceOf(const std::string& port);

// The line an action runs on: the device and baud rate of the options, the byte trace on
// standard error when asked, a download stopped by SIGINT or SIGTERM between records.
class ActionLine {
 public:
  explicit ActionLine(const LineOptions& options, LineHooks hooks = {});
  Line& line() { return *line_; }

 private:
  std::unique_ptr<Line> line_;
  std::chrono::steady_clock::time_point start_;
};

}  // namespace solvard::tool
