#pragma once

#include "line_options.hpp"
#include "progress_display.hpp"
#include "stop_signals.hpp"

namespace solvard::tool {

// The line a download runs on: its progress and the library's log lines on standard error,
// and SIGINT or SIGTERM asking it to stop between records rather than ending the process.
class DownloadLine {
 public:
  explicit DownloadLine(const LineOptions& options);

  Line& line() { return line_.line(); }
  const ProgressDisplay& progress() const { return progress_; }

  // Runs `download` with the signals caught, then leaves the progress on its own line.
  template <typename Download>
  auto run(Download&& download) {
    auto got = [&] {
      StopOnSignals stopOnSignals;
      return download();
    }();
    progress_.finish();
    return got;
  }

 private:
  static LineHooks hooksFor(ProgressDisplay& progress);

  ProgressDisplay progress_;
  ActionLine line_;
};

}  // namespace solvard::tool
