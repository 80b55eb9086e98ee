#include "ui/host_reports.hpp"

#include <iostream>
#include <ostream>
#include <utility>

namespace solvard::ui {

namespace {

LogSink& logSink() {
  static LogSink sink = logOnStandardError;
  return sink;
}

ProgressSink& progressSink() {
  static ProgressSink sink;
  return sink;
}

}  // namespace

LogSink setLogSink(LogSink sink) {
  return std::exchange(logSink(), sink ? std::move(sink) : LogSink(logOnStandardError));
}

ProgressSink setProgressSink(ProgressSink sink) {
  return std::exchange(progressSink(), std::move(sink));
}

void logAsLine(std::ostream& out, const std::string& line) {
  std::string text = "Solvard: ";
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (c == '\r' && i + 1 < line.size() && line[i + 1] == '\n') continue;
    text += (c == '\r' || c == '\n') ? ' ' : c;
  }
  text += '\n';
  // One write, so that a log line never interleaves with other output mid-line.
  out << text << std::flush;
}

void logOnStandardError(const std::string& line) { logAsLine(std::cerr, line); }

void logLine(const std::string& line) {
  // A log is told what happened; a sink that fails loses the line, not the command.
  try {
    logSink()(line);
  } catch (...) {
  }
}

void reportProgress(int32_t done, int32_t total) {
  if (progressSink()) progressSink()(done, total);
}

}  // namespace solvard::ui
