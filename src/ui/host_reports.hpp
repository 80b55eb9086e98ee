#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>

namespace solvard::ui {

// What the library tells its host besides the operator's message box: diagnostics for the
// library's log (a database that refused a statement, a port that cannot be opened and why, a
// message that could not be shown) and how far a download has got. Both go to callbacks the
// host installs. Without a log sink of its own a host still gets every log line, on standard
// error (see logOnStandardError); without a progress sink, progress is not reported.

using LogSink = std::function<void(const std::string& line)>;
// Records done so far and records in all (the count the terminal reported; 0 when unknown).
using ProgressSink = std::function<void(int32_t done, int32_t total)>;

// Installs a sink and returns the one it replaces. An empty log sink puts the default back (a
// host that wants no log installs one that ignores its lines); an empty progress sink turns
// progress reports off.
LogSink setLogSink(LogSink sink);
ProgressSink setProgressSink(ProgressSink sink);

// The log sink a host gets until it installs its own: each line on standard error as
// "Solvard: <line>", line breaks within it turned to spaces so that one report stays one line.
void logOnStandardError(const std::string& line);
// The same line on any stream.
void logAsLine(std::ostream& out, const std::string& line);

void logLine(const std::string& line);
void reportProgress(int32_t done, int32_t total);

// Installs a log sink for as long as it lives, then puts the previous one back.
class ScopedLogSink {
 public:
  explicit ScopedLogSink(LogSink sink) : previous_(setLogSink(std::move(sink))) {}
  ~ScopedLogSink() { setLogSink(std::move(previous_)); }
  ScopedLogSink(const ScopedLogSink&) = delete;
  ScopedLogSink& operator=(const ScopedLogSink&) = delete;

 private:
  LogSink previous_;
};

}  // namespace solvard::ui
