#pragma once

// What the exchange harnesses share: the fuzzer's bytes read as a script for a terminal on the
// scripted port, in virtual time, so that no wait takes real time and nothing opens a device.

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "component/library_line.hpp"
#include "serial/clock.hpp"
#include "serial/host_link.hpp"
#include "serial/scripted_port.hpp"
#include "serial/shared_port.hpp"
#include "ui/host_reports.hpp"
#include "ui/presenter.hpp"

namespace solvard::fuzz {

using namespace std::chrono_literals;

// Fails the run so that the fuzzer keeps the input: an invariant of the library did not hold.
[[noreturn]] inline void broken() { __builtin_trap(); }
inline void require(bool holds) {
  if (!holds) broken();
}

// The fuzzer's bytes, taken from the front; past the end every byte reads as 0.
class ByteReader {
 public:
  ByteReader(const uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  bool empty() const { return pos_ >= size_; }
  uint8_t byte() { return empty() ? 0 : data_[pos_++]; }
  uint16_t word() {
    const uint16_t high = byte();
    return static_cast<uint16_t>(high << 8 | byte());
  }
  // Up to `n` bytes, fewer at the end.
  serial::Bytes take(std::size_t n) {
    n = std::min(n, size_ - std::min(pos_, size_));
    serial::Bytes taken(data_ + pos_, data_ + pos_ + n);
    pos_ += n;
    return taken;
  }
  // A text of up to `limit` bytes, its length given by the next byte.
  std::string text(std::size_t limit = 255) {
    const serial::Bytes bytes = take(std::min<std::size_t>(byte(), limit));
    return std::string(bytes.begin(), bytes.end());
  }

 private:
  const uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

// The terminal's answers as the script gives them, for one frame after another: a count of
// pieces (up to 7), then each piece as its delay after the frame in steps of 20 ms (up to 5.1
// s, past every reply wait) and its bytes, a length byte first. The script ends at the end of
// the input; frames beyond it get no answer.
struct ScriptedAnswers {
  // The latest arrival of each answer, after its frame.
  std::vector<std::chrono::nanoseconds> latest;
};

inline ScriptedAnswers scriptAnswers(ByteReader& in, serial::ScriptedPort& port,
                                     std::size_t frames = 64) {
  ScriptedAnswers script;
  for (std::size_t f = 0; f < frames && !in.empty(); ++f) {
    const int pieces = in.byte() % 8;
    std::vector<serial::ScriptedPort::Piece> answer;
    std::chrono::nanoseconds latest{0};
    for (int p = 0; p < pieces && !in.empty(); ++p) {
      const std::chrono::nanoseconds after = in.byte() * 20ms;
      answer.push_back({after, in.take(in.byte() % 64)});
      latest = std::max(latest, after);
    }
    port.answerNextFrame(std::move(answer));
    script.latest.push_back(latest);
  }
  return script;
}

// The library's port replaced by a scripted one in virtual time, the operator's messages
// collected instead of shown, the log and progress kept from standard error. Everything is put
// back when it goes.
class VirtualLine {
 public:
  // The slice every reply wait passes in: the library's own default.
  static constexpr std::chrono::milliseconds kSlice{5};

  VirtualLine() : clock(1000s) {
    auto scripted = std::make_unique<serial::ScriptedPort>(clock);
    port = scripted.get();
    savedPort_ = component::replaceSharedPort(std::move(scripted));
    savedHooks_ = component::libraryHooks();
    component::libraryHooks() = {.pump = {},
                                 .reporter = [this](int32_t number) { reported.push_back(number); },
                                 .clock = &clock,
                                 .slice = kSlice,
                                 .stopRequested = {}};
    savedPresenter_ =
        ui::setPresenter([](const ui::MessageBoxView&) { return ui::Choice::Command1; });
    savedLog_ = ui::setLogSink([](const std::string&) {});
    savedProgress_ = ui::setProgressSink(
        [this](int32_t done, int32_t total) { progress.emplace_back(done, total); });
  }
  ~VirtualLine() {
    ui::setProgressSink(std::move(savedProgress_));
    ui::setLogSink(std::move(savedLog_));
    ui::setPresenter(std::move(savedPresenter_));
    component::libraryHooks() = savedHooks_;
    component::replaceSharedPort(std::move(savedPort_));
  }
  VirtualLine(const VirtualLine&) = delete;
  VirtualLine& operator=(const VirtualLine&) = delete;

  std::chrono::nanoseconds elapsed() { return clock.now() - start_; }

  // No wait outlasts its limit: the command is over no later than `longestWait` after the last
  // byte of each answer to a frame it wrote could arrive. `longestWait` is the longest a
  // command of this kind may wait for one reply, by its rules, with a slice to spare.
  void requireWaitsBounded(const ScriptedAnswers& script, std::chrono::nanoseconds longestWait) {
    std::chrono::nanoseconds bound = longestWait;
    const std::size_t frames = port->framesWritten().size();
    for (std::size_t f = 0; f < frames; ++f) {
      bound += (f < script.latest.size() ? script.latest[f] : 0ns) + longestWait;
    }
    require(elapsed() <= bound);
  }

  serial::ManualClock clock;
  serial::ScriptedPort* port = nullptr;
  std::vector<int32_t> reported;
  std::vector<std::pair<int32_t, int32_t>> progress;

 private:
  std::chrono::nanoseconds start_ = clock.now();
  std::unique_ptr<serial::PortControl> savedPort_;
  component::LibraryHooks savedHooks_;
  ui::Presenter savedPresenter_;
  ui::LogSink savedLog_;
  ui::ProgressSink savedProgress_;
};

}  // namespace solvard::fuzz
