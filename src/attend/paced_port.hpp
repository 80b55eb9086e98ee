#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>

#include "serial/port_control.hpp"

namespace solvard::attend {

// The port as the download's waits see it. After the download request the terminal sends its
// count and all its records without pause, so while a wait still misses some bytes they are a
// known line time away. Its wait for input sleeps through that time instead of waking for each
// byte as it comes (a wake-up, a poll and a read per byte), and returns at once when the bytes
// the wait needs are known to be in already; a download that has caught up with the terminal
// thus sleeps through a few records and then takes them in one go. A pause never reaches past
// the limit of the wait it serves, nor past `longestPause`, so every pass still gives the host's
// loop its turn, every limit is measured on the clock as before, and the outcome of every wait
// is the same. Everything else goes to the port unchanged.
class PacedPort final : public serial::PortControl {
 public:
  using Clock = std::chrono::steady_clock;

  // No pacing when `baudRate` is not positive.
  PacedPort(serial::PortControl& port, int32_t baudRate, std::chrono::milliseconds longestPause)
      : port_(port), baudRate_(baudRate), longestPause_(longestPause) {}

  // The wait about to run needs `needed` bytes by `deadline`, and the stream is bringing
  // `streamed` (at least as many: whole records when the wait is for a record's first byte).
  // Fewer than 2 streamed turns the pacing off for it: a single byte says nothing about when
  // the next will come.
  void awaiting(int needed, int streamed, Clock::time_point deadline) {
    needed_ = needed;
    streamed_ = std::max(needed, streamed);
    deadline_ = deadline;
  }
  // How long a pass begun at `now` sleeps with `waiting` bytes in: the line time of the rest of
  // what is streamed, within the wait's deadline and the longest pause; nothing once the wait
  // has what it needs.
  std::chrono::microseconds pause(int waiting, Clock::time_point now) const;

  bool PortOpen() const override { return port_.PortOpen(); }
  void PortOpen(bool open) override;
  void CommPort(int16_t number) override { port_.CommPort(number); }
  void Settings(const std::string& text) override { port_.Settings(text); }
  void InBufferSize(int16_t size) override { port_.InBufferSize(size); }
  void OutBufferSize(int16_t size) override { port_.OutBufferSize(size); }
  void InputMode(int16_t mode) override { port_.InputMode(mode); }
  int InBufferCount() override;
  void InBufferCount(int count) override;
  void OutBufferCount(int count) override { port_.OutBufferCount(count); }
  void InputLen(int length) override { port_.InputLen(length); }
  serial::Bytes Input() override;
  void Output(std::span<const uint8_t> bytes) override { port_.Output(bytes); }
  void waitForInput(std::chrono::milliseconds limit) override;

 private:
  serial::PortControl& port_;
  int32_t baudRate_;
  std::chrono::milliseconds longestPause_;
  int needed_ = 0;
  int streamed_ = 0;
  Clock::time_point deadline_;
  // The bytes known to wait: the last count, less what was read since.
  int known_ = 0;
};

// The baud rate of a settings text ("19200,N,8,1" gives 19200), 0 when it has none.
int32_t baudRateOf(const std::string& settingsText);

}  // namespace solvard::attend
