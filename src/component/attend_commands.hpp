#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "attend/download_report.hpp"
#include "attend/mac_function.hpp"
#include "automation/variant.hpp"
#include "serial/port_setup.hpp"

// The attendance commands as the `Attend` class runs them: on the library's line
// (library_line.hpp), which every object of both classes shares. Each does what its namesake
// on a line does (attend/).
namespace solvard::attend {

int32_t SendMacCommand(const serial::PortSetup& objectPort, int16_t machineNo, MacFunction function,
                       std::optional<automation::Variant> first = {},
                       std::optional<automation::Variant> second = {});
std::optional<std::string> ReadOriginalCardNo(int16_t machineNo, int16_t commPortId);

// The download (downloadRecords) into the tables `WorkCardSource` and `WorkCardReadTime` on the
// library's shared database connection (shared_database.hpp), opened with `connectString` if it
// is closed. The reasons go to the library's log and the progress to its progress sink; the
// report of how it ended is kept for `lastDownload`.
int32_t DownloadMacData(const serial::PortSetup& objectPort, int16_t machineNo,
                        const std::string& connectString);

// The report of the latest download of the library (the automation face has one line).
const DownloadReport& lastDownload();
void recordDownload(const DownloadReport& report);

}  // namespace solvard::attend
