#include "attend/download_report.hpp"

namespace solvard::attend {
namespace {

DownloadReport& latest() {
  static DownloadReport report;
  return report;
}

}  // namespace

const DownloadReport& lastDownload() { return latest(); }

void recordDownload(const DownloadReport& report) { latest() = report; }

}  // namespace solvard::attend
