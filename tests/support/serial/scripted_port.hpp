#pragma once

#include <chrono>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "serial/clock.hpp"
#include "serial/port_control.hpp"

namespace solvard::serial {

// A port in virtual time for tests of the exchanges: it answers each frame written with the
// bytes it was given, at the times it was given, and records every operation in order. It
// refuses the values a real port refuses. Its wait for input moves the manual clock on by the
// whole limit, so a reply wait runs through its passes without real time passing.
class ScriptedPort final : public PortControl {
 public:
  // Part of an answer: `bytes` arrive `after` the frame was written.
  struct Piece {
    std::chrono::nanoseconds after;
    Bytes bytes;
  };

  explicit ScriptedPort(ManualClock& clock) : clock_(clock) {}

  // The answer to the next frame written that has none yet; frames beyond the answers given
  // get no answer.
  void answerNextFrame(std::vector<Piece> answer) { answers_.push_back(std::move(answer)); }
  // Bytes already on their way, as if sent before the command began (they arrive at once).
  void arriveNow(Bytes bytes) { pending_.push_back({clock_.now(), std::move(bytes)}); }
  // Bytes no frame asked for, arriving `after` from now.
  void arriveAfter(std::chrono::nanoseconds after, Bytes bytes) {
    pending_.push_back({clock_.now() + after, std::move(bytes)});
  }
  // The open fails, as for an absent device or one held by another program.
  void failOpen(bool fail = true) { failOpen_ = fail; }
  // Runs as each frame is written, before its answer is scheduled: a test looks at what else
  // had happened by then.
  std::function<void(const Bytes&)> onFrame;
  // Every call of the operation so named (e.g. "Output", "InBufferCount") raises.
  void failOperation(const std::string& name) { failing_.insert(name); }
  // The `number`-th recorded operation from now on (counted as `log` records them, 1 first)
  // raises, as if the device failed at that one call.
  void failCall(int number) {
    calls_ = 0;
    failingCall_ = number;
  }
  // Operations recorded since the last failCall (or since the port was made).
  int calls() const { return calls_; }

  // Each operation as "<name> <value>" ("CommPort 3", "Output 03 11", "PortOpen true"), with
  // " failed" appended where it raised. Reading `InBufferCount` and waiting are not recorded.
  const std::vector<std::string>& log() const { return log_; }
  const std::vector<Bytes>& framesWritten() const { return frames_; }
  // Bytes that had arrived but were never read when the port closed.
  const Bytes& discardedAtClose() const { return discarded_; }
  // Bytes of answers that had not arrived yet when the port closed: never seen by the command.
  const Bytes& lostAfterClose() const { return lost_; }
  // Bytes currently waiting in the receive buffer.
  const Bytes& buffered() const { return buffer_; }

  bool PortOpen() const override { return open_; }
  void PortOpen(bool open) override;
  void CommPort(int16_t number) override;
  void Settings(const std::string& text) override;
  void InBufferSize(int16_t size) override;
  void OutBufferSize(int16_t size) override;
  void InputMode(int16_t mode) override;
  int InBufferCount() override;
  void InBufferCount(int count) override;
  void OutBufferCount(int count) override;
  void InputLen(int length) override;
  Bytes Input() override;
  void Output(std::span<const uint8_t> bytes) override;
  void waitForInput(std::chrono::milliseconds limit) override;
  void waitForBytes(std::chrono::milliseconds limit, std::size_t wanted) override;
  // How many bytes each wait for bytes said it needed, in order.
  const std::vector<std::size_t>& bytesWaitedFor() const { return bytesWaitedFor_; }

 private:
  struct Arrival {
    std::chrono::nanoseconds at;
    Bytes bytes;
  };

  // Records the operation, then runs it; a failure is recorded too and raised again.
  template <typename Run>
  void operation(const std::string& name, const std::string& value, Run&& run);
  void requireOpen() const;
  void deliverArrived();

  ManualClock& clock_;
  std::vector<std::vector<Piece>> answers_;
  std::vector<Arrival> pending_;
  std::set<std::string> failing_;
  bool failOpen_ = false;
  int calls_ = 0;
  int failingCall_ = 0;

  bool open_ = false;
  int inputLen_ = 0;
  Bytes buffer_;
  std::vector<std::string> log_;
  std::vector<Bytes> frames_;
  Bytes discarded_;
  Bytes lost_;
  std::vector<std::size_t> bytesWaitedFor_;
};

// "03 11": the bytes in two-digit upper-case hexadecimal, separated by blanks.
std::string hexBytes(std::span<const uint8_t> bytes);

}  // namespace solvard::serial
