#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace solvard::ui {

// What the library tells its host besides the operator's message box: diagnostics for the
// library's log (a database that refused a statement, say) and how far a download has got.
// Both go to callbacks the host installs; without one, the log goes nowhere and progress is
// not reported.

using LogSink = std::function<void(const std::string& line)>;
// Records done so far and records in all (the count the terminal reported; 0 when unknown).
using ProgressSink = std::function<void(int32_t done, int32_t total)>;

// Installs a sink and returns the one it replaces; an empty sink turns the reports off.
LogSink setLogSink(LogSink sink);
ProgressSink setProgressSink(ProgressSink sink);

void logLine(const std::string& line);
void reportProgress(int32_t done, int32_t total);

}  // namespace solvard::ui
