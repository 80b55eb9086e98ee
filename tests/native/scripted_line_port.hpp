#pragma once

#include <algorithm>
#include <chrono>
#include <optional>
#include <vector>

#include "serial/clock.hpp"
#include "solvard/port.hpp"

namespace solvard::native_testing {

// A host's own port with a scripted terminal on the far end, in virtual time: each frame the
// line writes gets the next answer given, its pieces arriving after their delays on the test's
// clock, and a read that waits moves that clock on by the wait.
class ScriptedLinePort final : public Port {
 public:
  using Bytes = std::vector<uint8_t>;
  struct Piece {
    std::chrono::nanoseconds after;
    Bytes bytes;
  };

  explicit ScriptedLinePort(serial::ManualClock& clock) : clock_(clock) {}

  void answerNextFrame(std::vector<Piece> answer) { answers_.push_back(std::move(answer)); }
  // The next opens fail with `error`.
  void failOpen(Error error) { openFailure_ = std::move(error); }

  const std::vector<Bytes>& framesWritten() const { return frames_; }
  bool isOpen() const { return open_; }
  int opens() const { return opens_; }
  // The settings of the latest open.
  const LineSettings& openedWith() const { return openedWith_; }

  Result<void> open(const LineSettings& settings) override {
    ++opens_;
    if (openFailure_) return *openFailure_;
    open_ = true;
    openedWith_ = settings;
    buffer_.clear();
    return {};
  }

  PortRead read(std::span<uint8_t> room, std::chrono::milliseconds wait) override {
    deliverArrived();
    if (buffer_.empty() && wait.count() > 0) {
      clock_.advance(wait);
      deliverArrived();
    }
    const std::size_t count = std::min(room.size(), buffer_.size());
    std::copy_n(buffer_.begin(), count, room.begin());
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(count));
    return PortRead{count, count > 0 ? ReadEnd::data : ReadEnd::waited};
  }

  Result<void> write(std::span<const uint8_t> bytes) override {
    if (!open_) return Error(Errc::port_failed, "written while closed");
    frames_.emplace_back(bytes.begin(), bytes.end());
    if (answers_.empty()) return {};
    for (Piece& piece : answers_.front()) {
      pending_.push_back({clock_.now() + piece.after, std::move(piece.bytes)});
    }
    answers_.erase(answers_.begin());
    return {};
  }

  void discardInput() override {
    deliverArrived();
    buffer_.clear();
  }

  // What had not arrived is lost with the connection, as on a real line.
  void close() override {
    open_ = false;
    buffer_.clear();
    pending_.clear();
  }

 private:
  struct Arrival {
    std::chrono::nanoseconds at;
    Bytes bytes;
  };

  void deliverArrived() {
    const auto now = clock_.now();
    auto due = std::stable_partition(pending_.begin(), pending_.end(),
                                     [&](const Arrival& a) { return a.at <= now; });
    for (auto it = pending_.begin(); it != due; ++it) {
      buffer_.insert(buffer_.end(), it->bytes.begin(), it->bytes.end());
    }
    pending_.erase(pending_.begin(), due);
  }

  serial::ManualClock& clock_;
  std::vector<std::vector<Piece>> answers_;
  std::vector<Arrival> pending_;
  std::optional<Error> openFailure_;
  Bytes buffer_;
  std::vector<Bytes> frames_;
  LineSettings openedWith_;
  bool open_ = false;
  int opens_ = 0;
};

}  // namespace solvard::native_testing
