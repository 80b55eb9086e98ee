#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace solvard::tool {

enum class TerminalKind { attend, door };

// The kind as the config, the JSON and the journal name it.
inline const char* kindName(TerminalKind kind) {
  return kind == TerminalKind::attend ? "attend" : "door";
}

// When an attendance terminal is told to forget its records: never (the safe default: a punch
// that comes between the terminal's count reply and the clear is lost by the protocol itself),
// or right after its records are committed.
enum class ClearPolicy { never, afterCommit };

inline constexpr std::chrono::seconds kDefaultDoorPassTime{60};

struct CollectTerminal {
  TerminalKind kind = TerminalKind::attend;
  uint8_t machine = 0;
  std::string name;  // empty when the config gives none
  ClearPolicy clear = ClearPolicy::never;
  int64_t warnAbove = 0;  // more records than this in one download earns a warning line
  // How long a door's download may run in one pass before the next terminal of the line is
  // asked; the door keeps the rest for the next pass. (A clock's download cannot stop
  // half-way and go on: it is bounded by the count the clock reports.)
  std::chrono::seconds passTime{kDefaultDoorPassTime};
};

struct CollectLine {
  std::string name;  // the config's name, else the port
  std::string port;  // a device path or a port number, as the other commands take it
  uint32_t baud = 9600;
  std::vector<CollectTerminal> terminals;  // one per machine number, in the config's order
};

// What `solvard serve` reads from the config's [serve] table; the collector ignores it.
struct ServeSettings {
  std::string host = "127.0.0.1";  // a loopback address: nothing beyond this machine reaches it
  uint16_t port = 8480;
  // The token file; a relative path is taken from the config's folder. Empty: "tokens" there.
  std::string tokens;
  std::chrono::seconds every{30};  // from one pass's start to the next, per line
  // TLS: the certificate chain and its private key, PEM files (relative paths from the config's
  // folder). With them the service speaks HTTPS only, and may listen beyond this machine.
  std::string certificate, key;
  // Each event is POSTed to each of these ("http://HOST[:PORT]/PATH" or https), in order,
  // until the receiver takes it.
  std::vector<std::string> webhooks;
  // Each event is published at QoS 1 to this broker ("mqtt://HOST[:PORT]"); empty: none.
  std::string mqtt;
};

inline constexpr std::size_t kMostWebhooks = 16;

struct CollectConfig {
  std::string database;  // an SQLite file or a connection text
  std::vector<CollectLine> lines;
  ServeSettings serve;
};

inline constexpr int64_t kDefaultWarnAbove = 20000;
// A collector's config takes a few kilobytes; a file past this is not one, and is not read.
inline constexpr std::size_t kLargestConfig = 1 << 20;

// A config the collector refuses: `what` is "FILE:LINE: KEY: problem", the form an editor
// jumps to.
class ConfigError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Reads and checks the collector's TOML config; every value is checked before anything reaches
// a line or the database. Only a regular file of at most kLargestConfig bytes is read: a folder,
// a device or a FIFO is refused before anything waits on it.
CollectConfig readCollectConfig(const std::string& path);
// The text of a small regular file (at most kLargestConfig bytes) in `text`, or why it cannot
// be had; a folder, a device or a FIFO is refused before anything waits on it.
std::string readConfigFile(const std::string& path, std::string& text);
// The config read from its text, `path` naming it in the messages.
CollectConfig parseCollectConfig(const std::string& text, const std::string& path);

// "1-4" or "7": the machine numbers the text names, or the problem.
std::vector<uint8_t> machineRange(const std::string& text, std::string& problem);

}  // namespace solvard::tool
