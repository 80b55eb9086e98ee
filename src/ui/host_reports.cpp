#include "ui/host_reports.hpp"

#include <utility>

namespace solvard::ui {

namespace {

LogSink& logSink() {
  static LogSink sink;
  return sink;
}

ProgressSink& progressSink() {
  static ProgressSink sink;
  return sink;
}

}  // namespace

LogSink setLogSink(LogSink sink) { return std::exchange(logSink(), std::move(sink)); }

ProgressSink setProgressSink(ProgressSink sink) {
  return std::exchange(progressSink(), std::move(sink));
}

void logLine(const std::string& line) {
  if (logSink()) logSink()(line);
}

void reportProgress(int32_t done, int32_t total) {
  if (progressSink()) progressSink()(done, total);
}

}  // namespace solvard::ui
