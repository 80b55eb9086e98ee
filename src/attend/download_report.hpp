#pragma once

#include <chrono>
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
    kOutOfStep,       // more records came with a bad end mark than a sound line gives (ten in a
                      // row, or more than the terminal holds); nothing of it is stored
    kTooLong,         // the records did not all come within the download's time bound
                      // (downloadTimeBound); nothing of it is stored
  };
  // The step at which the sink refused the download, if it did.
  enum class SinkStep { kNone, kReady, kBegin, kTake, kCommit };

  Ending ending = Ending::kNotRun;
  int32_t total = 0;    // records the terminal reported
  int32_t written = 0;  // records written into the transaction before it ended
  SinkStep refusedAt = SinkStep::kNone;
};

// How long a download of `total` records may take once the count came: a minute, and for each
// record three times its line time at `baudRate` or 200 ms, whichever is longer. A terminal
// streams its records at the line's rate; one slower than that has stopped streaming them.
std::chrono::nanoseconds downloadTimeBound(int32_t total, int32_t baudRate);

}  // namespace solvard::attend
