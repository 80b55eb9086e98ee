#include "serial/command_guard.hpp"

#include "serial/port_errors.hpp"

namespace solvard::serial {
CommandGuard::CommandGuard(std::atomic<bool>& running) : running_(&running) {
  if (running_->exchange(true)) throw port_errors::portBusy();
}

CommandGuard::~CommandGuard() { running_->store(false); }

}  // namespace solvard::serial
