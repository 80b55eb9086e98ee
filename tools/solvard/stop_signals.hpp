#pragma once

namespace solvard::tool {

// While it lives, SIGINT and SIGTERM ask the running download to stop between records (through
// its line's stopRequested hook, which asks `requested`) instead of ending the process: the access
// download writes the record in hand and prompts no more, the attendance download rolls back, and
// the command says what was kept. A second signal ends the process as usual.
class StopOnSignals {
 public:
  StopOnSignals();
  ~StopOnSignals();
  StopOnSignals(const StopOnSignals&) = delete;
  StopOnSignals& operator=(const StopOnSignals&) = delete;

  // Whether a signal asked to stop since the latest one was made (a native line's hook).
  static bool requested();
};

}  // namespace solvard::tool
