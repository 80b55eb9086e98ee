#pragma once

#include <functional>

namespace solvard::serial {

// What a command tells the person at the host while it runs: a terminal that did not acknowledge,
// a reply that came short, a port that cannot be opened. The automation face shows each as the
// operator's message box; a native line keeps them with the command to explain its ending.
enum class Notice {
  no_acknowledgement,
  wrong_machine,
  port_cannot_open,
  reply_incomplete,
  unexpected_reply,
  no_records,
  record_incomplete,
  bad_end_mark,
};

// Receives a command's notices as they happen; it returns once the person has seen it.
using Notify = std::function<void(Notice)>;

}  // namespace solvard::serial
