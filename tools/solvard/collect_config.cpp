#include "collect_config.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <optional>
#include <set>

#include "collect_schedule.hpp"
#include "line_options.hpp"
#include "printable_text.hpp"
#include "solvard/line.hpp"
#include "toml_reader.hpp"

namespace solvard::tool {
namespace {

// Where a value sits, for the messages: the file, the line of the config and the key.
class Place {
 public:
  Place(const std::string& file, std::string key) : file_(&file), key_(std::move(key)) {}

  Place child(const std::string& key) const {
    return Place(*file_, key_.empty() ? key : key_ + "." + key);
  }
  Place item(std::size_t index) const {
    return Place(*file_, key_ + "[" + std::to_string(index + 1) + "]");
  }

  [[noreturn]] void fail(const toml::node* at, const std::string& problem) const {
    std::string where = *file_;
    if (at != nullptr && at->source().begin.line > 0)
      where += ":" + std::to_string(at->source().begin.line);
    throw ConfigError(where + ": " + key_ + ": " + problem);
  }

 private:
  const std::string* file_;
  std::string key_;
};

// Refuses a key the table does not know: a misspelt "bud" must not leave the baud at its
// default without a word.
void onlyKnown(const toml::table& table, const Place& place,
               std::initializer_list<std::string_view> known, const std::string& takes) {
  for (const auto& [key, value] : table) {
    bool found = false;
    for (const std::string_view name : known) found = found || key.str() == name;
    if (!found) {
      place.child(escapedControls(key.str())).fail(&value, "unknown key (" + takes + ")");
    }
  }
}

// Every text of the config ends up in a name, a row, the journal or the device's name: none
// may carry a control character.
std::string text(const toml::node& node, const Place& place) {
  const auto* value = node.as_string();
  if (value == nullptr) place.fail(&node, "is not a text in quotes");
  if (const std::string problem = controlCharacterProblem(value->get()); !problem.empty())
    place.fail(&node, problem);
  return value->get();
}

int64_t integer(const toml::node& node, const Place& place, int64_t lowest, int64_t highest) {
  const auto* value = node.as_integer();
  if (value == nullptr) place.fail(&node, "is not a whole number");
  const int64_t number = value->get();
  if (number < lowest || number > highest) {
    place.fail(&node, std::to_string(number) + " is not " + std::to_string(lowest) + " to " +
                          std::to_string(highest));
  }
  return number;
}

std::string required(const toml::table& table, const char* key, const Place& place) {
  const toml::node* node = table.get(key);
  if (node == nullptr) place.child(key).fail(&table, "missing");
  return text(*node, place.child(key));
}

std::optional<uint8_t> parseMachine(std::string_view digits) {
  int number = -1;
  const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
  if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size() || number < 0 ||
      number > 255) {
    return std::nullopt;
  }
  return static_cast<uint8_t>(number);
}

// The machine numbers of one entry of `machines`: a number, or a text "7" or "1-4".
std::vector<uint8_t> machinesOf(const toml::node& node, const Place& place) {
  if (node.is_integer()) return {static_cast<uint8_t>(integer(node, place, 0, 255))};
  if (!node.is_string()) place.fail(&node, "is not a machine number or a range such as \"1-4\"");
  std::string problem;
  std::vector<uint8_t> numbers = machineRange(text(node, place), problem);
  if (!problem.empty()) place.fail(&node, problem);
  return numbers;
}

CollectTerminal terminalDefaults(const toml::table& table, const Place& place, int64_t warnAbove) {
  onlyKnown(table, place, {"kind", "machines", "name", "clear", "warn_above", "pass_time"},
            "a terminal takes kind, machines, name, clear, warn_above and pass_time");
  CollectTerminal terminal;
  const std::string kind = required(table, "kind", place);
  if (kind == "attend") {
    terminal.kind = TerminalKind::attend;
  } else if (kind == "door") {
    terminal.kind = TerminalKind::door;
  } else {
    place.child("kind").fail(table.get("kind"), "\"" + kind + "\" is not \"attend\" or \"door\"");
  }
  if (const toml::node* name = table.get("name")) terminal.name = text(*name, place.child("name"));
  if (const toml::node* clear = table.get("clear")) {
    const std::string policy = text(*clear, place.child("clear"));
    if (terminal.kind == TerminalKind::door) {
      place.child("clear").fail(clear,
                                "applies to attend terminals (a door terminal forgets each record "
                                "as the next is asked for)");
    }
    if (policy == "never") {
      terminal.clear = ClearPolicy::never;
    } else if (policy == "after-commit") {
      terminal.clear = ClearPolicy::afterCommit;
    } else {
      place.child("clear").fail(clear, "\"" + policy + "\" is not \"never\" or \"after-commit\"");
    }
  }
  if (const toml::node* limit = table.get("pass_time")) {
    if (terminal.kind != TerminalKind::door) {
      place.child("pass_time")
          .fail(limit,
                "applies to door terminals (a clock sends all its records in one stream, which "
                "cannot stop half-way and go on in the next pass)");
    }
    std::string problem;
    const auto time = passInterval(text(*limit, place.child("pass_time")), problem);
    if (!time) place.child("pass_time").fail(limit, problem);
    terminal.passTime = *time;
  }
  terminal.warnAbove = warnAbove;
  if (const toml::node* warn = table.get("warn_above"))
    terminal.warnAbove = integer(*warn, place.child("warn_above"), 1, 1'000'000'000);
  return terminal;
}

void readTerminals(const toml::table& table, const Place& place, int64_t warnAbove,
                   CollectLine& line) {
  const toml::node* node = table.get("terminal");
  if (node == nullptr) place.child("terminal").fail(&table, "missing: a line needs a terminal");
  const toml::array* terminals = node->as_array();
  if (terminals == nullptr || !terminals->is_array_of_tables())
    place.child("terminal").fail(node, "is not a [[line.terminal]] table");
  std::set<uint8_t> taken;
  for (std::size_t i = 0; i < terminals->size(); ++i) {
    const Place at = place.child("terminal").item(i);
    const toml::table& entry = *terminals->get(i)->as_table();
    const CollectTerminal defaults = terminalDefaults(entry, at, warnAbove);
    const toml::node* machines = entry.get("machines");
    if (machines == nullptr) at.child("machines").fail(&entry, "missing");
    std::vector<uint8_t> numbers;
    if (const toml::array* list = machines->as_array()) {
      if (list->empty()) at.child("machines").fail(machines, "is an empty list");
      for (std::size_t k = 0; k < list->size(); ++k) {
        for (const uint8_t n : machinesOf(*list->get(k), at.child("machines").item(k)))
          numbers.push_back(n);
      }
    } else {
      numbers = machinesOf(*machines, at.child("machines"));
    }
    for (const uint8_t n : numbers) {
      // One line carries one terminal of each number: a second would answer alongside.
      if (!taken.insert(n).second) {
        at.child("machines")
            .fail(machines, "machine " + std::to_string(n) + " is already a terminal of this line");
      }
      CollectTerminal terminal = defaults;
      terminal.machine = n;
      line.terminals.push_back(std::move(terminal));
    }
  }
}

// Why a file of this mode is not a config, or nothing.
std::string kindProblem(mode_t mode) {
  if (S_ISDIR(mode)) return "is a folder, not a config file";
  if (!S_ISREG(mode))
    return "is not a regular file (a device, a FIFO or a socket): name the config file itself";
  return {};
}

std::string systemProblem() { return std::string("cannot be read: ") + std::strerror(errno); }

// The config's text, or why it cannot be had.
}  // namespace

std::string readConfigFile(const std::string& path, std::string& text) {
  // Looked at before it is opened: opening a serial device can change its lines, and a FIFO
  // would keep the read waiting for a writer that never comes.
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return systemProblem();
  if (std::string problem = kindProblem(status.st_mode); !problem.empty()) return problem;
  // Not blocking all the same, and looked at again once open, in case the name changed hands.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return systemProblem();
  std::string problem = ::fstat(fd, &status) != 0 ? systemProblem() : kindProblem(status.st_mode);
  // Never more than the bound, whatever size the file claims or grows to while it is read.
  char buffer[4096];
  while (problem.empty() && text.size() <= kLargestConfig) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got == 0) break;
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      problem = systemProblem();
    } else {
      text.append(buffer, static_cast<std::size_t>(got));
    }
  }
  ::close(fd);
  if (problem.empty() && text.size() > kLargestConfig) {
    problem =
        "is larger than 1 MiB: a collector's config takes a few kilobytes; name the config file "
        "itself";
  }
  return problem;
}

namespace {

// "HOST:PORT", the host a loopback address: the service answers the machine it runs on only.
void readListen(const std::string& listen, const toml::node& node, const Place& place,
                ServeSettings& serve) {
  const std::size_t colon = listen.rfind(':');
  if (colon == std::string::npos || colon == 0)
    place.fail(&node, "\"" + listen + "\" is not HOST:PORT (e.g. \"127.0.0.1:8480\")");
  std::string host = listen.substr(0, colon);
  if (host.size() > 2 && host.front() == '[' && host.back() == ']')
    host = host.substr(1, host.size() - 2);
  const std::string portText = listen.substr(colon + 1);
  int port = 0;
  const auto [end, error] =
      std::from_chars(portText.data(), portText.data() + portText.size(), port);
  // 0 takes any free port, which the service prints as it starts.
  if (error != std::errc() || end != portText.data() + portText.size() || port < 0 || port > 65535)
    place.fail(&node, "\"" + portText + "\" is not a TCP port, 1 to 65535 (0: any free one)");
  serve.host = host == "localhost" ? "127.0.0.1" : host;
  serve.port = static_cast<uint16_t>(port);
}

bool loopback(const std::string& host) { return host == "::1" || host.starts_with("127."); }

ServeSettings serveSettings(const toml::node& node, const Place& top) {
  const Place place = top.child("serve");
  const toml::table* table = node.as_table();
  if (table == nullptr) place.fail(&node, "is not a [serve] table");
  onlyKnown(*table, place, {"listen", "tokens", "every", "certificate", "key", "webhooks", "mqtt"},
            "[serve] takes listen, tokens, every, certificate, key, webhooks and mqtt");
  ServeSettings serve;
  if (const toml::node* listen = table->get("listen"))
    readListen(text(*listen, place.child("listen")), *listen, place.child("listen"), serve);
  for (auto [name, into] : {std::pair<const char*, std::string*>{"tokens", &serve.tokens},
                            {"certificate", &serve.certificate},
                            {"key", &serve.key}}) {
    if (const toml::node* file = table->get(name)) {
      *into = text(*file, place.child(name));
      if (into->empty()) place.child(name).fail(file, "is empty: give the file");
    }
  }
  if (const toml::node* hooks = table->get("webhooks")) {
    const toml::array* urls = hooks->as_array();
    if (urls == nullptr || urls->size() > kMostWebhooks)
      place.child("webhooks").fail(hooks, "is not a list of at most 16 URLs in quotes");
    for (std::size_t i = 0; i < urls->size(); ++i) {
      const Place at = place.child("webhooks").item(i);
      const std::string url = text(*urls->get(i), at);
      if (!(url.starts_with("http://") || url.starts_with("https://")) || url.size() > 512 ||
          url.find(' ') != std::string::npos)
        at.fail(urls->get(i), "\"" + url + "\" is not an http:// or https:// URL");
      serve.webhooks.push_back(url);
    }
  }
  if (const toml::node* broker = table->get("mqtt")) {
    serve.mqtt = text(*broker, place.child("mqtt"));
    if (!serve.mqtt.starts_with("mqtt://") || serve.mqtt.size() > 512 ||
        serve.mqtt.find_first_of(" /", 7) != std::string::npos)
      place.child("mqtt").fail(broker,
                               "\"" + serve.mqtt + "\" is not mqtt://HOST or mqtt://HOST:PORT");
  }
  if (serve.certificate.empty() != serve.key.empty()) {
    place.child(serve.key.empty() ? "key" : "certificate")
        .fail(table, "missing: TLS takes both certificate and key");
  }
  // A token in the clear would cross the network: beyond this machine, only with TLS.
  if (!loopback(serve.host) && serve.certificate.empty()) {
    place.child("listen").fail(table->get("listen"),
                               "\"" + serve.host +
                                   "\" is not a loopback address: serving beyond this machine "
                                   "needs TLS (give certificate and key)");
  }
  if (const toml::node* every = table->get("every")) {
    std::string problem;
    const auto interval = passInterval(text(*every, place.child("every")), problem);
    if (!interval) place.child("every").fail(every, problem);
    serve.every = *interval;
  }
  return serve;
}

}  // namespace

std::vector<uint8_t> machineRange(const std::string& text, std::string& problem) {
  const auto dash = text.find('-');
  const std::string first = text.substr(0, dash);
  const std::string last = dash == std::string::npos ? first : text.substr(dash + 1);
  const auto low = parseMachine(first);
  const auto high = parseMachine(last);
  if (!low || !high) {
    problem = "\"" + text + "\" is not a machine number 0 to 255 or a range such as \"1-4\"";
    return {};
  }
  if (*low > *high) {
    problem = "\"" + text + "\" runs backwards: write the lower number first";
    return {};
  }
  std::vector<uint8_t> numbers;
  for (int n = *low; n <= *high; ++n) numbers.push_back(static_cast<uint8_t>(n));
  return numbers;
}

CollectConfig parseCollectConfig(const std::string& source, const std::string& path) {
  toml::table root;
  try {
    root = toml::parse(source, path);
  } catch (const toml::parse_error& e) {
    // toml++ may quote the character it stopped at, and the message is one journal line.
    throw ConfigError(path + ":" + std::to_string(e.source().begin.line) + ": " +
                      escapedControls(e.description()));
  }
  const Place top(path, "");
  onlyKnown(root, top, {"database", "warn_above", "line", "serve"},
            "the config takes database, warn_above, [[line]] tables and a [serve] table");
  CollectConfig config;
  config.database = required(root, "database", top);
  if (const toml::node* serve = root.get("serve")) config.serve = serveSettings(*serve, top);
  if (config.database.empty())
    top.child("database")
        .fail(root.get("database"), "is empty: give an SQLite file or a connection text");
  int64_t warnAbove = kDefaultWarnAbove;
  if (const toml::node* warn = root.get("warn_above"))
    warnAbove = integer(*warn, top.child("warn_above"), 1, 1'000'000'000);
  const toml::node* node = root.get("line");
  if (node == nullptr) top.child("line").fail(&root, "missing: give at least one [[line]] table");
  const toml::array* lines = node->as_array();
  if (lines == nullptr || !lines->is_array_of_tables())
    top.child("line").fail(node, "is not a [[line]] table");
  std::set<std::string> names;
  std::vector<std::string> devices;  // each line's device key (serial/device_key.hpp), in order
  for (std::size_t i = 0; i < lines->size(); ++i) {
    const Place at = top.child("line").item(i);
    const toml::table& table = *lines->get(i)->as_table();
    onlyKnown(table, at, {"port", "baud", "name", "terminal"},
              "a line takes port, baud, name and terminal");
    CollectLine line;
    line.port = required(table, "port", at);
    // Read as --port is: "999" is a port number out of range here too, never a path.
    if (const std::string problem = portProblem(line.port); !problem.empty())
      at.child("port").fail(table.get("port"), problem);
    // Two lines on one device would each find it in use by the other, pass after pass.
    const std::string device = solvard::deviceKey(deviceOf(line.port).name());
    for (std::size_t k = 0; k < devices.size(); ++k) {
      if (devices[k] == device) {
        at.child("port").fail(table.get("port"), "\"" + line.port + "\" is the device of line[" +
                                                     std::to_string(k + 1) +
                                                     "] too: one line per device");
      }
    }
    devices.push_back(device);
    if (const toml::node* baud = table.get("baud"))
      line.baud = static_cast<uint32_t>(integer(*baud, at.child("baud"), 1, 4'000'000));
    line.name = line.port;
    if (const toml::node* name = table.get("name")) {
      line.name = text(*name, at.child("name"));
      if (line.name.empty()) at.child("name").fail(name, "is empty");
    }
    // Every record's row carries the name, in a column of 255 characters.
    if (line.name.size() > 255)
      at.child(table.get("name") ? "name" : "port").fail(&table, "is longer than 255 characters");
    // The name goes into every record's row: two lines of one name would mix their terminals.
    if (!names.insert(line.name).second)
      at.child("name").fail(&table, "\"" + line.name + "\" names another line too");
    readTerminals(table, at, warnAbove, line);
    config.lines.push_back(std::move(line));
  }
  return config;
}

CollectConfig readCollectConfig(const std::string& path) {
  std::string text;
  if (const std::string problem = readConfigFile(path, text); !problem.empty())
    throw ConfigError(path + ": " + problem);
  CollectConfig config = parseCollectConfig(text, path);
  // The token file (and TLS's files) sit beside the config unless the config names them
  // elsewhere.
  const std::filesystem::path folder = std::filesystem::path(path).parent_path();
  if (config.serve.tokens.empty()) config.serve.tokens = "tokens";
  for (std::string* file : {&config.serve.tokens, &config.serve.certificate, &config.serve.key}) {
    if (!file->empty() && std::filesystem::path(*file).is_relative())
      *file = (folder / *file).string();
  }
  return config;
}

}  // namespace solvard::tool
