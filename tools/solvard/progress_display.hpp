#pragma once

#include <chrono>
#include <cstdint>
#include <iosfwd>
#include <string>

namespace solvard::tool {

// The columns of the window standard error is shown in (80 when it is not a terminal and
// $COLUMNS does not say).
int terminalColumns();

// Whether a download shows its progress: forced on or off, else when standard error is a
// terminal.
bool progressShown(bool forceOn, bool forceOff);

// One line that says how far a download has got, redrawn in place on standard error and sized
// to the window: "terminal 1 [####......] 150/300 records 96/s 0:01 left". Log lines that come
// while it runs are printed above it.
class ProgressDisplay {
 public:
  ProgressDisplay(std::ostream& out, std::string label, bool shown, int columns);

  void update(int32_t done, int32_t total);
  void log(const std::string& line);
  // Leaves the last drawing on its own line, if one was drawn.
  void finish();

  int32_t done() const { return done_; }
  int32_t total() const { return total_; }
  double seconds() const;

  // The line as drawn for `columns` columns: never wider than columns - 1, so the cursor
  // never wraps; the bar shrinks first, then the rate and time left go.
  static std::string line(const std::string& label, int32_t done, int32_t total, double seconds,
                          int columns);

 private:
  void draw();

  std::ostream& out_;
  std::string label_;
  bool shown_;
  int columns_;
  int32_t done_ = 0;
  int32_t total_ = 0;
  bool drawn_ = false;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point lastDraw_;
};

}  // namespace solvard::tool
