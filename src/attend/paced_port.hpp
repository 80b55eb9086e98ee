#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "serial/port_control.hpp"

namespace solvard::attend {

// The port as the download's waits see it. After the download request the terminal sends its
// count and all its records without pause, so while a wait still misses some bytes they are a
// known line time away. Its wait for input sleeps through that time (at most the pass's limit)
// instead of waking for each byte as it comes, which would cost a wake-up, a poll and a read per
// byte. Every pass of a wait still gives the host's loop its turn and still measures its limit
// on the clock, so the outcome of every wait is the same. Everything else goes to the port
// unchanged.
class PacedPort final : public serial::PortControl {
 public:
  // No pacing when `baudRate` is not positive.
  PacedPort(serial::PortControl& port, int32_t baudRate) : port_(port), baudRate_(baudRate) {}

  // The bytes the wait about to run needs; 0 or 1 turns the pacing off for it (a single byte
  // says nothing about when the next will come).
  void awaiting(int count) { awaiting_ = count; }
  // How long a pass sleeps with `waiting` of the awaited bytes in: the line time of the rest,
  // at most `limit`.
  std::chrono::microseconds pause(int waiting, std::chrono::milliseconds limit) const;

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
  int awaiting_ = 0;
  // The bytes known to wait: the last count, less what was read since.
  int known_ = 0;
};

// The baud rate of a settings text ("19200,N,8,1" gives 19200), 0 when it has none.
int32_t baudRateOf(const std::string& settingsText);

}  // namespace solvard::attend
