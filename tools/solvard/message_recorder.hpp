#pragma once

#include "json.hpp"

namespace solvard::tool {

// Stands in for the operator while the command drives the library: every message box the
// library shows is recorded and answered "OK".
class MessageRecorder {
 public:
  MessageRecorder();
  ~MessageRecorder();
  MessageRecorder(const MessageRecorder&) = delete;
  MessageRecorder& operator=(const MessageRecorder&) = delete;

  // The messages shown since the last call, as [{"number","text","title","style"}, ...].
  Json take();
};

}  // namespace solvard::tool
