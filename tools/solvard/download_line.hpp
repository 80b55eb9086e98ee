#pragma once

#include "line_options.hpp"
#include "line_settle.hpp"
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

  // Runs `download` with the signals caught, then leaves the progress on its own line. The
  // line is read until it is quiet first: a clock still streaming the records of a download
  // that was stopped would otherwise answer this one's request.
  template <typename Download>
  auto run(Download&& download) {
    auto got = [&]() -> decltype(download()) {
      StopOnSignals stopOnSignals;
      if (auto unsettled = settleLine(line(), baud_, device_,
                                      [this](const std::string& text) { progress_.log(text); })) {
        return *unsettled;
      }
      return download();
    }();
    progress_.finish();
    return got;
  }

 private:
  static LineHooks hooksFor(ProgressDisplay& progress);

  ProgressDisplay progress_;
  ActionLine line_;
  uint32_t baud_;
  std::string device_;
};

}  // namespace solvard::tool
