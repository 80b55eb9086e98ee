// The collector's TOML config, as an operator, an editor or a broken disk may leave it. Whatever
// it holds, reading it ends one of two ways: refused with ConfigError, one printable line naming
// the file, or a config whose every value is one the collector can honour (a database named,
// each line's port taken by the --port rule and a device of its own, names unique and of
// printable text, each machine number once a line). Any other exception escapes and is reported
// as a crash.

#include "collect_config.hpp"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>

#include "line_options.hpp"
#include "printable_text.hpp"
#include "serial/device_key.hpp"

namespace {

[[noreturn]] void broken() { __builtin_trap(); }

bool printable(const std::string& text) {
  return solvard::tool::controlCharacterProblem(text).empty();
}

void check(const solvard::tool::CollectConfig& config) {
  using namespace solvard::tool;
  if (config.database.empty() || !printable(config.database) || config.lines.empty()) broken();
  std::set<std::string> names;
  std::set<std::string> devices;
  for (const CollectLine& line : config.lines) {
    if (!portProblem(line.port).empty() || line.name.empty() || line.name.size() > 255 ||
        !printable(line.name) || line.baud < 1 || line.baud > 4'000'000) {
      broken();
    }
    if (!names.insert(line.name).second) broken();
    if (!devices.insert(solvard::serial::deviceKey(deviceOf(line.port).name())).second) broken();
    if (line.terminals.empty()) broken();
    std::set<int> machines;
    for (const CollectTerminal& terminal : line.terminals) {
      if (!machines.insert(terminal.machine).second || !printable(terminal.name)) broken();
      if (terminal.warnAbove < 1 || terminal.warnAbove > 1'000'000'000) broken();
      if (terminal.kind == TerminalKind::door && terminal.clear != ClearPolicy::never) broken();
      if (terminal.passTime < std::chrono::seconds(1) || terminal.passTime > std::chrono::hours(24))
        broken();
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  // A longer file is refused before it is parsed.
  if (size > solvard::tool::kLargestConfig) return 0;
  const std::string text(reinterpret_cast<const char*>(data), size);
  try {
    check(solvard::tool::parseCollectConfig(text, "collect.toml"));
  } catch (const solvard::tool::ConfigError& e) {
    // One line naming the file, whatever the text held.
    const std::string message = e.what();
    if (message.rfind("collect.toml:", 0) != 0 || !printable(message)) broken();
  }
  return 0;
}
