#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "attend/download_report.hpp"
#include "attend_options.hpp"
#include "component/attend.hpp"

// `solvard attend download` and the demonstration share these.
namespace solvard::tool {

// Makes the attendance tables in the SQLite file `path` where they are missing (the file too).
// False with the reason.
bool prepareSqliteFile(const std::string& path, std::string& problem);

// What became of one download.
struct DownloadOutcome {
  int32_t result = 0;
  int32_t total = 0;               // the count the terminal reported, 0 if none came
  std::vector<int32_t> messages;   // the operator messages shown, by number
  std::vector<std::string> texts;  // and their texts
  double seconds = 0;              // from the count to the end
  std::size_t logLines = 0;        // lines the library logged (printed as they came)
  attend::DownloadReport::Ending ending = attend::DownloadReport::Ending::kNotRun;
};

// Runs `GetMacData(machine)` on `object`, showing its progress on `out`: a bar redrawn in place
// when `terminal`, else only the library's log lines. The operator's messages are answered "OK"
// and kept.
DownloadOutcome runAttendDownload(component::Attend& object, int16_t machine, std::ostream& out,
                                  bool terminal);

// Prints how the download ended, naming `database` (an SQLite file by its path, anything else as
// "the database", since a connection text may hold a password), and gives the exit status: 0
// for records downloaded or a terminal that holds none, 1 for any failure.
int reportAttendDownload(std::ostream& out, int16_t machine, const std::string& database,
                         const DownloadOutcome& outcome);

// `solvard attend download`: prepares an SQLite file, downloads, reports.
int attendDownload(const AttendOptions& options, component::Attend& object);

}  // namespace solvard::tool
