#pragma once

#include <cstdint>

namespace solvard::attend {

// How the latest attendance download ended, beyond its result value: a host that must tell
// "holds no records" from "the records were not kept", or "kept" from "may be kept", reads it
// after `GetMacData` returns.
struct DownloadReport {
  enum class Ending {
    kNotRun,          // no download has run yet
    kCommitted,       // every record the terminal reported is stored
    kNoRecords,       // the terminal holds none
    kNotDownloaded,   // ended before the record loop (database, port, first replies)
    kRolledBack,      // ended inside the record loop: nothing of it is stored
    kOutcomeUnknown,  // the connection dropped around the commit and the database could not
                      // say whether it committed: the records may be stored
    kStopped,         // the host asked it to stop; nothing of it is stored
  };
  Ending ending = Ending::kNotRun;
  int32_t total = 0;    // records the terminal reported
  int32_t written = 0;  // records written into the transaction before it ended
};

// The report of the latest download of the library (the automation face has one line).
const DownloadReport& lastDownload();
void recordDownload(const DownloadReport& report);

}  // namespace solvard::attend
