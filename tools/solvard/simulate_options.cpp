#include "simulate_options.hpp"

#include <CLI/CLI.hpp>
#include <charconv>
#include <set>

namespace solvard::tool {
namespace {

// Decimal digits only: "010" is ten and "0x10" is refused, whatever CLI11 would make of them.
bool readNumber(const std::string& text, int lo, int hi, int& value) {
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return !text.empty() && text.front() != '-' && ec == std::errc() &&
         end == text.data() + text.size() && value >= lo && value <= hi;
}

void addTerminals(const std::vector<std::string>& machines, simulator::TerminalKind kind,
                  const std::string& option, std::set<int>& played, SimulateSettings& settings) {
  for (const std::string& text : machines) {
    int machine = 0;
    if (!readNumber(text, 0, 255, machine)) {
      throw CLI::ValidationError(option, "takes a machine number 0 to 255");
    }
    // One terminal answers a machine number, or two would answer each frame at once.
    if (!played.insert(machine).second) {
      throw CLI::ValidationError(option,
                                 "machine " + std::to_string(machine) + " is already played");
    }
    settings.terminals.emplace_back(kind, static_cast<uint8_t>(machine));
  }
}

// An empty word would read as the option not given: --link "" would publish nothing.
CLI::Validator notEmpty() {
  return CLI::Validator(
      [](std::string& text) {
        return text.empty() ? std::string("takes a word, not nothing") : "";
      },
      "");
}

}  // namespace

void addSimulateOptions(CLI::App& command, SimulateWords& words) {
  command
      .add_option("--attend", words.attend,
                  "play an attendance terminal with machine number M (0 to 255); repeat for "
                  "more")
      ->allow_extra_args(false)
      ->option_text("M");
  command
      .add_option("--door", words.door,
                  "play an access-control (door) terminal with machine number M (0 to 255); "
                  "repeat for more")
      ->allow_extra_args(false)
      ->option_text("M");
  command
      .add_option("--records", words.records,
                  "sample card records each terminal holds for a download (0 to 65535, "
                  "default 0)")
      ->option_text("N");
  CLI::Option* link = command.add_option(
      "--link", words.link,
      "publish the pseudo-terminal's path as a symlink at PATH, for this simulator alone (a "
      "second one is refused while it runs); removed on exit");
  link->option_text("PATH")->check(notEmpty());
  CLI::Option* device = command.add_option(
      "--device", words.device, "serve this serial device instead of a new pseudo-terminal");
  device->option_text("PATH")->check(notEmpty());
  device->excludes(link);
  command.add_option("--baud", words.baud, "the --device's baud rate (default 9600)")
      ->option_text("N");
  command
      .add_option("--listen", words.listen,
                  "also serve the terminals to TCP clients at this IPv4 address and port (0: a "
                  "free port, printed): a client's bytes are taken as bytes from the line and "
                  "the replies go back to it, raw")
      ->option_text("ADDRESS:PORT")
      ->check(notEmpty());
  command.add_flag("--paced", words.paced,
                   "take frames and send replies at the line rate (10 bit times a byte)");
  command.add_flag("--echo", words.echo, "send every byte straight back (no terminal answers)");
  command.add_flag("--quiet", words.quiet, "print where the line is, not each frame");
}

SimulateSettings simulateSettings(const SimulateWords& words) {
  SimulateSettings settings;
  std::set<int> played;
  addTerminals(words.attend, simulator::TerminalKind::Attendance, "--attend", played, settings);
  addTerminals(words.door, simulator::TerminalKind::AccessControl, "--door", played, settings);
  if (!readNumber(words.records, 0, 65535, settings.records)) {
    throw CLI::ValidationError("--records", "takes a count 0 to 65535");
  }
  int baud = 0;
  if (!readNumber(words.baud, 50, 4000000, baud)) {
    throw CLI::ValidationError("--baud", "takes a baud rate such as 9600");
  }
  settings.options.baudRate = baud;
  settings.options.linkPath = words.link;
  settings.options.devicePath = words.device;
  if (!words.listen.empty()) {
    settings.options.listen = simulator::parseTcpEndpoint(words.listen);
    if (!settings.options.listen) {
      throw CLI::ValidationError(
          "--listen",
          "takes ADDRESS:PORT, an IPv4 address and a port 0 to 65535 such as "
          "127.0.0.1:7000");
    }
  }
  settings.options.paced = words.paced;
  settings.options.echo = words.echo;
  settings.quiet = words.quiet;
  if (settings.terminals.empty() && !settings.options.echo) {
    throw CLI::ValidationError("name at least one terminal (--attend M or --door M) or --echo");
  }
  return settings;
}

}  // namespace solvard::tool
