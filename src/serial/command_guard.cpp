#include "serial/command_guard.hpp"

#include <atomic>

#include "serial/port_errors.hpp"

namespace solvard::serial {
namespace {

std::atomic<bool>& commandRunning() {
  static std::atomic<bool> running{false};
  return running;
}

}  // namespace

CommandGuard::CommandGuard() {
  if (commandRunning().exchange(true)) throw port_errors::portBusy();
}

CommandGuard::~CommandGuard() { commandRunning().store(false); }

}  // namespace solvard::serial
