#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "solvard/export.hpp"
#include "solvard/kept_records.hpp"
#include "solvard/line_settings.hpp"
#include "solvard/port.hpp"
#include "solvard/result.hpp"

namespace solvard {

class Line;
namespace detail {
struct LineCore;
// The line's own state, for the library's terminal classes.
LineCore& lineCore(Line& line);
}  // namespace detail

// The serial device a line opens: a path ("/dev/ttyUSB0") or the platform's port number n
// (the n-th serial port, 1 first).
class SOLVARD_API Device {
 public:
  static Device path(std::string path) { return Device(std::move(path)); }
  static Result<Device> port(int number);
  const std::string& name() const { return name_; }

 private:
  explicit Device(std::string name) : name_(std::move(name)) {}
  std::string name_;
};

// What a device name reaches, whatever it was called: a local device by its resolved path (a
// /dev/serial/by-id link and the /dev/ttyUSB0 it points to are one line), a network line by its
// host and port (tcp:// and rfc2217:// to the same device server port are one line). A name
// that cannot be resolved (the device is unplugged) is its own text.
SOLVARD_API std::string deviceKey(const std::string& device);
// Whether two device names reach the same line.
SOLVARD_API bool sameDevice(const std::string& one, const std::string& other);
// Whether a device name reaches a device server over the network (tcp:// or rfc2217://).
SOLVARD_API bool isNetworkDevice(const std::string& device);

// The time the line's reply waits measure; monotonic. A test gives a clock that moves only
// when told to, so waits of seconds run in no time.
class SOLVARD_API Clock {
 public:
  virtual ~Clock() = default;
  virtual std::chrono::nanoseconds now() = 0;
};

// Which way a run of bytes went on the line.
enum class ByteDirection { sent, received };
// Shown each run of bytes as the line sends or receives it: what an installer reads to find a
// wiring fault.
using ByteTrace = std::function<void(ByteDirection, std::span<const uint8_t>)>;

// What the host lends the line's commands. Every member may be empty.
struct LineHooks {
  // One turn of the host's message loop, given while a reply is awaited.
  std::function<void()> pump;
  // A download's progress: records done, records in all (0 when the terminal does not say).
  std::function<void(int32_t done, int32_t total)> progress;
  // The line's diagnostics, one line each (a database's refusal, a record kept for later).
  std::function<void(const std::string& line)> log;
  // Asked between records: true stops the download safely (Errc::stopped).
  std::function<bool()> stopRequested;
};

// One serial line and the terminals on it. A line owns its device, settings, clock and hooks:
// a process drives as many lines as it has devices, each from any thread. A line runs one
// command at a time; a command started while another runs (from another thread, or from the
// pump) fails with Errc::line_busy. The device is opened for each command and closed after it
// (an attendance download leaves it open until the next command), so other programs can share
// a device between commands.
class SOLVARD_API Line {
 public:
  // Refused: settings the line cannot have (a baud rate of 0, 5 or 9 data bits, ...).
  static Result<Line> make(Device device, LineSettings settings = {}, LineHooks hooks = {});
  // A line on a port of the host's own; `name` stands for the device in what the line reports
  // ("radio 2: the terminal did not answer"). Refused: an empty name, no port, or settings the
  // line cannot have.
  static Result<Line> fromPort(std::string name, std::unique_ptr<Port> port,
                               LineSettings settings = {}, LineHooks hooks = {});
  ~Line();
  Line(Line&&) noexcept;
  Line& operator=(Line&&) noexcept;

  const Device& device() const;
  const LineSettings& settings() const;
  // The clock reply waits measure (default: the machine's monotonic clock).
  void setClock(std::shared_ptr<Clock> clock);
  // How long one pass of a reply wait blocks on the port before the pump's next turn
  // (default 5 ms).
  void setWaitSlice(std::chrono::milliseconds slice);
  // Shows every byte the line's device sends and receives to `trace` from the next opening of
  // the device on (empty: none).
  void setByteTrace(ByteTrace trace);
  // Where the line's door downloads keep the records they could not hand over, and find them
  // again (empty: the library's store, in memory for the life of the process and shared by
  // every line that has none of its own).
  void setKeptRecords(std::shared_ptr<KeptRecords> store);

  // Reads and drops what the line receives until nothing has come for `quiet`. Bytes still on
  // their way from an exchange that was broken off (a clock that went on streaming into a
  // network connection that dropped, a download another program stopped) would otherwise be
  // read as the next command's reply. Gives how many bytes were dropped; unexpected_reply when
  // bytes still come after `limit`, stopped when the host's stopRequested says so.
  Result<std::size_t> awaitQuiet(std::chrono::milliseconds quiet, std::chrono::milliseconds limit);

 private:
  friend detail::LineCore& detail::lineCore(Line& line);
  explicit Line(std::unique_ptr<detail::LineCore> core);
  std::unique_ptr<detail::LineCore> core_;
};

}  // namespace solvard
