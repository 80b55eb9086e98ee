#pragma once

#include <cstdint>
#include <string>

#include "attend/download_database.hpp"
#include "attend/download_report.hpp"
#include "attend/record_sink.hpp"
#include "serial/line_state.hpp"
#include "serial/port_setup.hpp"

namespace solvard::attend {

// Reads every record stored in attendance terminal `machineNo` into `sink`: the automation face
// writes the tables `WorkCardSource` (every record) and `WorkCardReadTime` (the last one) on the
// library's shared database connection (DatabaseSink below). The port is prepared from
// `objectPort`. Returns N, the count the terminal reported (up to 65535), once all N records
// are committed; the port is then left open.
//
// Ends early, with the port closed:
// - -1: a machine number outside 0 to 255 (nothing done), a database that cannot be opened
//   (nothing sent, no message: the reason goes to the line's log), a port that cannot be
//   opened (port_cannot_open), no reply within 1 second (wrong_machine), a reply from another
//   machine (unexpected_reply), the count not complete within 3 seconds (reply_incomplete);
// - 0: the terminal holds no records (no_records); inside the record loop, no byte of a record
// within
//   1 second (unexpected_reply), a record from another machine (no message), a record not complete
//   within 3 seconds (record_incomplete), or a statement the database refused (no message, logged).
//   Every row of the download is then rolled back: the terminal still holds the records, and a
//   download run again writes each once.
// - -1 after the record loop: the connection dropped around the commit and the database could
//   not say whether it committed (PostgreSQL can: see download_database.hpp). The records may
//   be stored; the line's log says so, and `lastDownload()` reports kOutcomeUnknown.
// - 0 when the host asks the download to stop (serial::HostHooks::stopRequested, checked
//   between records): rolled back, the terminal still holds the records.
// A record whose end mark is not 0xAA tells bad_end_mark and is dropped; the next 10 bytes are
// taken in its place. Progress goes to the line's progress: (0, N) once the count is known, then
// (i, N) as record i is written. The sink's `ready` stands where the database is opened, its
// `write` where the rows are written, its `commit` where they are committed. A machine number
// outside 0 to 255 gives -1 with nothing done. `report` tells how it ended.
int32_t downloadRecords(serial::LineState& line, const serial::PortSetup& objectPort,
                        int16_t machineNo, AttendanceSink& sink, DownloadReport& report);

// The tables WorkCardSource and WorkCardReadTime on `connection`, opened with `connectString`
// when found closed, one transaction per download: the automation face's sink, and a native
// line's downloadToDatabase. Its reasons go to the line's log.
class DatabaseSink final : public AttendanceSink, public UncertainCommit {
 public:
  // Records written on `line`: with a clock its host injected (virtual time) nothing waits in
  // real time.
  DatabaseSink(const serial::LineState& line, db::Connection& connection, int16_t machineNo,
               std::string connectString);
  bool ready(std::string& problem) override;
  bool begin(int32_t total) override;
  bool take(const AttendanceRecord& record) override;
  bool commit() override;
  Committed commitOutcome() override;
  void rollback() override;

 private:
  DownloadDatabase database_;
  std::string connectString_;
};

}  // namespace solvard::attend
