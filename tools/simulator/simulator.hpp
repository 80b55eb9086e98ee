#pragma once

#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "frame_log.hpp"
#include "line.hpp"
#include "scripted_terminal.hpp"
#include "tcp_endpoint.hpp"
#include "terminal.hpp"

namespace solvard::simulator {

struct SimulatorOptions {
  // Where to publish the pseudo-terminal's slave as a symlink; empty: no link.
  std::string linkPath{};
  // Serve this device instead of creating a pseudo-terminal.
  std::string devicePath{};
  int32_t baudRate = 9600;
  // Take frames and send replies at the line rate (10 bit times a byte) rather than at once.
  bool paced = false;
  // Send every byte straight back, whoever it is for (no terminals answer).
  bool echo = false;
  // A pause this long ends a frame, so bytes for nobody or a broken frame do not swallow the
  // next one.
  std::chrono::milliseconds idleGap{10};
  // Also serve the terminals to TCP clients here: each client's bytes are taken as bytes from
  // the line, and the replies go back to that client (raw bytes, nothing added).
  std::optional<TcpEndpoint> listen{};
};

// Clients served at once over TCP; more wait to be accepted until one leaves.
inline constexpr std::size_t kMaxTcpClients = 8;

// Terminals on one serial line, played on a thread of their own: each frame the line carries
// goes to the terminal whose machine number it begins with, its reply goes back (spoiled as
// the faults injected say), and every byte is logged.
class Simulator {
 public:
  explicit Simulator(SimulatorOptions options = {});
  ~Simulator();
  Simulator(const Simulator&) = delete;
  Simulator& operator=(const Simulator&) = delete;

  // Adds a terminal; one per machine number (a second raises std::invalid_argument).
  template <typename T>
  T& add(std::unique_ptr<T> terminal) {
    T& added = *terminal;
    addTerminal(std::move(terminal));
    return added;
  }
  ScriptedTerminal& addScripted(TerminalKind kind, uint8_t machine) {
    return add(std::make_unique<ScriptedTerminal>(kind, machine));
  }

  // Opens the line and starts answering. Raises std::runtime_error if the line cannot be had.
  void start();
  // Stops answering and closes the line (the published link goes with it).
  void stop();
  // The device path the library is to open; known once started.
  const std::string& path() const { return line_.path(); }
  // The baud rate the line is set to now (see Line::currentBaudRate).
  int32_t lineBaudRate() const { return line_.currentBaudRate(); }
  // Where TCP clients connect (the port chosen when 0 was asked for); known once started, and
  // only with `listen`.
  std::optional<TcpEndpoint> listening() const;

  // Runs `read` holding the lock the terminals answer under, so a test can look at or change a
  // terminal's state while the simulator runs.
  template <typename F>
  auto withState(F&& read) {
    std::lock_guard lock(stateMutex_);
    return read();
  }
  // The terminal playing `machine`, or null. Its state is the simulator's to guard: use
  // `withState` while running.
  Terminal* terminal(uint8_t machine);

  std::vector<LoggedFrame> frames() const { return log_.frames(); }
  bool waitForFrames(std::size_t count, std::chrono::milliseconds limit) const {
    return log_.waitFor(count, limit);
  }
  void clearLog() { log_.clear(); }
  std::vector<LoggedFrame> takeFrames() { return log_.take(); }
  // The line vanished on a fault: the simulator no longer answers.
  bool lineVanished() const { return vanished_; }

 private:
  // Where bytes come from and replies go back to: the line, or one TCP client. Each has its own
  // frame in progress, so a client's bytes never join a frame the line is carrying.
  struct Channel {
    int fd = -1;  // a client's socket; -1 for the line
    LoggedFrame pending{};
    Terminal* target = nullptr;
    bool gone = false;  // a client that left or stopped reading: closed after this round
  };

  void addTerminal(std::unique_ptr<Terminal> terminal);
  void run();
  // Reads what `channel` has; false when a client has gone.
  bool receive(Channel& channel);
  void acceptClients();
  void dropGoneClients();
  // The time to wait for input before some channel's frame in progress goes idle (-1: none).
  int idleTimeout() const;
  // Ends `channel`'s frame in progress if it has been idle for the gap.
  void flushIfIdle(Channel& channel);
  // Takes one byte of a frame in; answers the frame when it is whole.
  void take(Channel& channel, uint8_t byte, TimePoint at);
  // Ends the frame in progress without an answer (idle gap, or the client left).
  void flushIncomplete(Channel& channel);
  void answer(Channel& channel, Terminal& terminal, LoggedFrame frame);
  void send(Channel& channel, std::span<const uint8_t> bytes);
  void write(Channel& channel, std::span<const uint8_t> bytes);
  void closeClients();
  // Waits until `when` unless asked to stop first; false when stopping.
  bool pauseUntil(TimePoint when);
  std::chrono::nanoseconds byteTime() const;

  SimulatorOptions options_;
  Line line_;
  TcpListener listener_;
  FrameLog log_;
  std::mutex stateMutex_;
  std::map<uint8_t, std::unique_ptr<Terminal>> terminals_;

  std::thread thread_;
  int wakeRead_ = -1;
  int wakeWrite_ = -1;
  std::atomic<bool> stopping_{false};
  std::atomic<bool> vanished_{false};

  // Simulator thread only.
  Channel lineChannel_;
  std::vector<Channel> clients_;
};

}  // namespace solvard::simulator
