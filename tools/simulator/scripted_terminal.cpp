#include "scripted_terminal.hpp"

namespace solvard::simulator {

void ScriptedTerminal::replyTo(uint8_t commandCode, Bytes reply) {
  std::lock_guard lock(mutex_);
  replies_[commandCode] = std::move(reply);
}

void ScriptedTerminal::setHandler(Handler handler) {
  std::lock_guard lock(mutex_);
  handler_ = std::move(handler);
}

uint8_t ScriptedTerminal::commandCode(std::span<const uint8_t> frame) const {
  const std::size_t at = kind() == TerminalKind::Attendance ? 2 : 1;
  return frame.size() > at ? frame[at] : 0;
}

Bytes ScriptedTerminal::handle(std::span<const uint8_t> frame) {
  std::lock_guard lock(mutex_);
  if (handler_) return handler_(frame);
  if (auto it = replies_.find(commandCode(frame)); it != replies_.end()) return it->second;
  if (kind() == TerminalKind::Attendance) return {machineNumber()};
  return {machineNumber(), 2};
}

}  // namespace solvard::simulator
