#include "line_options.hpp"

#include <CLI/CLI.hpp>
#include <charconv>
#include <cstdio>
#include <iostream>

#include "printable_text.hpp"

namespace solvard::tool {
namespace {

bool allDigits(const std::string& text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

// "  12.345 ms  sent  03 11"
void printTrace(std::chrono::steady_clock::time_point start, ByteDirection way,
                std::span<const uint8_t> bytes) {
  const double ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  std::string line;
  char head[48];
  std::snprintf(head, sizeof head, "trace %10.3f ms  %s ", ms,
                way == ByteDirection::sent ? "sent" : "recv");
  line = head;
  for (const uint8_t byte : bytes) {
    char pair[4];
    std::snprintf(pair, sizeof pair, " %02X", byte);
    line += pair;
  }
  std::cerr << line << "\n" << std::flush;
}

}  // namespace

std::string portProblem(const std::string& port) {
  if (port.empty()) return "is empty: give a port number or a device path";
  if (std::string problem = controlCharacterProblem(port); !problem.empty()) return problem;
  if (!allDigits(port)) return {};
  int number = 0;
  const auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), number);
  if (ec != std::errc() || end != port.data() + port.size() || number < 1 || number > 255) {
    return "port number " + port + " is not 1 to 255 (a device path in this folder is written ./" +
           port + ")";
  }
  return {};
}

void addLineOptions(CLI::App& command, LineOptions& options) {
  command.add_option("-m,--machine", options.machine, "the terminal's machine number, 0 to 255")
      ->required()
      ->check(CLI::Range(0, 255));
  command
      .add_option("-p,--port", options.port,
                  "the line: a port number 1 to 255 (1 is /dev/ttyS0) or a device path; digits "
                  "alone are always a port number (a device file 999 here is ./999)")
      ->required()
      ->envname("SOLVARD_PORT")
      ->check(CLI::Validator([](std::string& port) { return portProblem(port); }, "N|PATH"));
  command.add_option("-b,--baud", options.baud, "the line's baud rate (default 9600)")
      ->envname("SOLVARD_BAUD")
      ->check(CLI::Range(1u, 4'000'000u));
  command.add_flag("--json", options.json, "print one JSON object with the outcome");
  command.add_flag("--trace", options.trace,
                   "show each byte sent and received, with its time, on standard error");
}

void addProgressOptions(CLI::App& command, LineOptions& options) {
  auto* on = command.add_flag("--progress", options.progress,
                              "show the progress on standard error even when it is not a terminal");
  auto* off = command.add_flag("--no-progress", options.noProgress, "show no progress");
  on->excludes(off);
}

Device deviceOf(const std::string& port) {
  if (allDigits(port)) {
    int number = 0;
    std::from_chars(port.data(), port.data() + port.size(), number);
    if (auto device = Device::port(number)) return *device;
  }
  return Device::path(port);
}

ActionLine::ActionLine(const LineOptions& options, LineHooks hooks)
    : start_(std::chrono::steady_clock::now()) {
  auto made = Line::make(deviceOf(options.port), LineSettings{options.baud}, std::move(hooks));
  if (!made) throw CLI::ValidationError("--baud", made.error().detail());
  line_ = std::make_unique<Line>(std::move(*made));
  if (options.trace) {
    line_->setByteTrace([start = start_](ByteDirection way, std::span<const uint8_t> bytes) {
      printTrace(start, way, bytes);
    });
  }
}

}  // namespace solvard::tool
