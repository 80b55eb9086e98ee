#pragma once

#include <atomic>

namespace solvard::serial {

// Held by a command for as long as it uses the one port. While a command waits for its reply
// the host's message loop runs, and host code may start another command from there; that
// second command is refused with 8005 rather than closing the port under the waiting one.
class CommandGuard {
 public:
  // Raises 8005 "Port already open: another command is using the serial port" while another
  // guard on the same line's flag `running` is held.
  explicit CommandGuard(std::atomic<bool>& running);
  ~CommandGuard();
  CommandGuard(const CommandGuard&) = delete;
  CommandGuard& operator=(const CommandGuard&) = delete;

 private:
  // The flag of the line the guard was taken on.
  std::atomic<bool>* running_;
};

}  // namespace solvard::serial
