#include "download_line.hpp"

#include <iostream>

namespace solvard::tool {

DownloadLine::DownloadLine(const LineOptions& options)
    : progress_(std::cerr, "terminal " + std::to_string(options.machine),
                progressShown(options.progress, options.noProgress), terminalColumns()),
      line_(options, hooksFor(progress_)),
      baud_(options.baud),
      device_(deviceOf(options.port).name()) {}

LineHooks DownloadLine::hooksFor(ProgressDisplay& progress) {
  LineHooks hooks;
  hooks.progress = [&progress](int32_t done, int32_t total) { progress.update(done, total); };
  hooks.log = [&progress](const std::string& line) { progress.log(line); };
  hooks.stopRequested = [] { return StopOnSignals::requested(); };
  return hooks;
}

}  // namespace solvard::tool
