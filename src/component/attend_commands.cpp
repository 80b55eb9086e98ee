#include "component/attend_commands.hpp"

#include "attend/download.hpp"
#include "component/attend_mac_command.hpp"
#include "attend/original_card_no.hpp"
#include "component/host_call.hpp"
#include "component/library_line.hpp"
#include "component/shared_database.hpp"
#include "serial/machine_number.hpp"

namespace solvard::attend {
namespace {

// The download's result when it ended before the record loop.
constexpr int32_t kNotDownloaded = -1;

DownloadReport& latest() {
  static DownloadReport report;
  return report;
}

}  // namespace

using component::libraryLine;

int32_t SendMacCommand(const serial::PortSetup& objectPort, int16_t machineNo, MacFunction function,
                       std::optional<automation::Variant> first,
                       std::optional<automation::Variant> second) {
  return component::hostCall([&] {
    return SendMacCommand(libraryLine(), objectPort, machineNo, function, std::move(first),
                          std::move(second));
  });
}

std::optional<std::string> ReadOriginalCardNo(int16_t machineNo, int16_t commPortId) {
  return component::hostCall(
      [&] { return ReadOriginalCardNo(libraryLine(), machineNo, commPortId); });
}

int32_t DownloadMacData(const serial::PortSetup& objectPort, int16_t machineNo,
                        const std::string& connectString) {
  if (!serial::addressesOneTerminal(machineNo)) {
    recordDownload({DownloadReport::Ending::kNotDownloaded, 0, 0});
    return kNotDownloaded;
  }
  return component::hostCall([&] {
    serial::LineState& line = libraryLine();
    DatabaseSink sink(line, sharedDatabase(), machineNo, connectString);
    DownloadReport report;
    const int32_t result = downloadRecords(line, objectPort, machineNo, sink, report);
    // Whatever way the download ended, the host can read how.
    recordDownload(report);
    return result;
  });
}

const DownloadReport& lastDownload() { return latest(); }

void recordDownload(const DownloadReport& report) { latest() = report; }

}  // namespace solvard::attend
