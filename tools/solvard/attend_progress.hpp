#pragma once

#include <chrono>
#include <cstdint>
#include <iosfwd>
#include <string>

#include "ui/host_reports.hpp"

namespace solvard::tool {

// Shows how far a download has got while it runs, through the library's progress and log
// callbacks. On a terminal one line is redrawn in place (a bar, the records done, the rate and
// the time left), and log lines are printed above it; elsewhere only the log lines are printed,
// as they come. The callbacks are put back as they were when it goes.
class DownloadProgress {
 public:
  DownloadProgress(std::ostream& out, bool terminal);
  ~DownloadProgress();
  DownloadProgress(const DownloadProgress&) = delete;
  DownloadProgress& operator=(const DownloadProgress&) = delete;

  // Ends the line in place, if one was drawn.
  void finish();

  int32_t done() const { return done_; }
  int32_t total() const { return total_; }
  // Seconds since the count was reported (since the start while it was not).
  double seconds() const;
  std::size_t logLines() const { return logLines_; }

  // The line as it is drawn: "[#####.....]  150/300 records   96.0/s   0:01 left".
  static std::string line(int32_t done, int32_t total, double seconds);

 private:
  void progress(int32_t done, int32_t total);
  void log(const std::string& line);
  void draw();

  std::ostream& out_;
  bool terminal_;
  int32_t done_ = 0;
  int32_t total_ = 0;
  std::size_t logLines_ = 0;
  bool drawn_ = false;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point lastDraw_;
  ui::ProgressSink savedProgress_;
  ui::LogSink savedLog_;
};

}  // namespace solvard::tool
