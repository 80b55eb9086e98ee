#include "serial/command_guard.hpp"

#include "serial/line_state.hpp"
#include "serial/port_errors.hpp"

namespace solvard::serial {
CommandGuard::CommandGuard() : running_(&currentLine().commandRunning) {
  if (running_->exchange(true)) throw port_errors::portBusy();
}

CommandGuard::~CommandGuard() { running_->store(false); }

}  // namespace solvard::serial
