#include "serial/scripted_port.hpp"

#include <algorithm>

#include "automation/error.hpp"
#include "serial/port_errors.hpp"
#include "serial/port_values.hpp"

namespace solvard::serial {

std::string hexBytes(std::span<const uint8_t> bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (uint8_t byte : bytes) {
    if (!text.empty()) text += ' ';
    text += kDigits[byte >> 4];
    text += kDigits[byte & 0x0F];
  }
  return text;
}

template <typename Run>
void ScriptedPort::operation(const std::string& name, const std::string& value, Run&& run) {
  const std::string entry = value.empty() ? name : name + " " + value;
  try {
    const bool failingCall = ++calls_ == failingCall_;
    if (failing_.contains(name) || failingCall) throw port_errors::portIoFailed(name);
    run();
  } catch (const detail::Fault&) {
    log_.push_back(entry + " failed");
    throw;
  }
  log_.push_back(entry);
}

void ScriptedPort::requireOpen() const {
  if (!open_) throw port_errors::portNotOpen();
}

void ScriptedPort::deliverArrived() {
  const auto now = clock_.now();
  auto due = std::stable_partition(pending_.begin(), pending_.end(),
                                   [&](const Arrival& a) { return a.at <= now; });
  for (auto it = pending_.begin(); it != due; ++it) {
    buffer_.insert(buffer_.end(), it->bytes.begin(), it->bytes.end());
  }
  pending_.erase(pending_.begin(), due);
}

void ScriptedPort::PortOpen(bool open) {
  operation("PortOpen", open ? "true" : "false", [&] {
    if (open) {
      if (open_) throw port_errors::portAlreadyOpen();
      if (failOpen_) throw port_errors::portUnavailable("scripted to fail");
      open_ = true;
      buffer_.clear();
      return;
    }
    if (!open_) return;
    deliverArrived();
    discarded_.insert(discarded_.end(), buffer_.begin(), buffer_.end());
    buffer_.clear();
    for (const Arrival& arrival : pending_) {
      lost_.insert(lost_.end(), arrival.bytes.begin(), arrival.bytes.end());
    }
    pending_.clear();
    open_ = false;
  });
}

void ScriptedPort::CommPort(int16_t number) {
  operation("CommPort", std::to_string(number), [&] {
    if (open_) throw port_errors::portAlreadyOpen();
    checkPortNumber(number);
  });
}

void ScriptedPort::Settings(const std::string& text) {
  operation("Settings", text, [&] { parseSettings(text); });
}

void ScriptedPort::InBufferSize(int16_t size) {
  operation("InBufferSize", std::to_string(size), [&] {
    if (open_) throw port_errors::portAlreadyOpen();
    checkBufferSize(size);
  });
}

void ScriptedPort::OutBufferSize(int16_t size) {
  operation("OutBufferSize", std::to_string(size), [&] {
    if (open_) throw port_errors::portAlreadyOpen();
    checkBufferSize(size);
  });
}

void ScriptedPort::InputMode(int16_t mode) {
  operation("InputMode", std::to_string(mode), [&] { checkInputMode(mode); });
}

int ScriptedPort::InBufferCount() {
  if (failing_.contains("InBufferCount")) throw port_errors::portIoFailed("InBufferCount");
  requireOpen();
  deliverArrived();
  return static_cast<int>(buffer_.size());
}

void ScriptedPort::InBufferCount(int count) {
  operation("InBufferCount", std::to_string(count), [&] {
    if (count != 0) throw detail::Fault(detail::FaultKind::invalid_value);
    requireOpen();
    deliverArrived();
    buffer_.clear();
  });
}

void ScriptedPort::OutBufferCount(int count) {
  operation("OutBufferCount", std::to_string(count), [&] {
    if (count != 0) throw detail::Fault(detail::FaultKind::invalid_value);
    requireOpen();
  });
}

void ScriptedPort::InputLen(int length) {
  operation("InputLen", std::to_string(length), [&] {
    if (length < 0) throw detail::Fault(detail::FaultKind::invalid_value);
    inputLen_ = length;
  });
}

Bytes ScriptedPort::Input() {
  Bytes taken;
  try {
    const bool failingCall = ++calls_ == failingCall_;
    if (failing_.contains("Input") || failingCall) throw port_errors::portIoFailed("Input");
    requireOpen();
    deliverArrived();
    const std::size_t n =
        inputLen_ == 0 ? buffer_.size() : std::min<std::size_t>(inputLen_, buffer_.size());
    taken.assign(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(n));
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(n));
  } catch (const detail::Fault&) {
    log_.push_back("Input failed");
    throw;
  }
  log_.push_back(taken.empty() ? "Input" : "Input " + hexBytes(taken));
  return taken;
}

void ScriptedPort::Output(std::span<const uint8_t> bytes) {
  operation("Output", hexBytes(bytes), [&] {
    requireOpen();
    frames_.emplace_back(bytes.begin(), bytes.end());
    if (onFrame) onFrame(frames_.back());
    if (answers_.empty()) return;
    for (Piece& piece : answers_.front()) {
      pending_.push_back({clock_.now() + piece.after, std::move(piece.bytes)});
    }
    answers_.erase(answers_.begin());
  });
}

void ScriptedPort::waitForInput(std::chrono::milliseconds limit) { clock_.advance(limit); }

void ScriptedPort::waitForBytes(std::chrono::milliseconds limit, std::size_t wanted) {
  bytesWaitedFor_.push_back(wanted);
  waitForInput(limit);
}

}  // namespace solvard::serial
