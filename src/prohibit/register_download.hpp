#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "db/pool.hpp"
#include "prohibit/access_sink.hpp"
#include "prohibit/pending_records.hpp"
#include "serial/line_state.hpp"

namespace solvard::prohibit {

// The result texts of a download.
inline constexpr const char* kNoData = "NODATA";
inline constexpr const char* kIsEnd = "ISEND";
inline constexpr const char* kError = "ERROR";

// How a download ended, beyond its result text: "ISEND" is both the terminal's "no more
// records" and a terminal that stopped answering, which a host that reports to an operator must
// tell apart.
struct RegisterDownloadReport {
  enum class Ending {
    kNotRun,                // no download has run yet
    kRefused,               // a machine number or table name that cannot be sent; nothing sent
    kDatabaseNotReady,      // the database or the table cannot be used; nothing sent
    kPendingNotWritten,     // a record kept from an earlier download still cannot be written
    kPortNotOpened,         // the port cannot be opened
    kNoFirstStatus,         // the terminal did not answer the first prompt
    kNoData,                // the terminal holds no records
    kEnd,                   // the terminal said no more records follow
    kStoppedAnswering,      // the terminal did not answer a later prompt: it may hold more
    kRecordIncomplete,      // a record did not come whole; it stays in the terminal
    kRecordNotWritten,      // a record could not be written; it is kept as pending
    kRecordOutcomeUnknown,  // the connection dropped around a record's commit: it may be stored
    kStopped,               // the host asked the download to stop; the record in hand is written
    kWrongMachine,          // a status did not name the prompted terminal (StatusCheck)
    kAnswerUnread,          // the terminal answered a prompt and the port failed reading it:
                            // a record sent with the answer is lost, as the next prompt tells
                            // the terminal it is stored
    kBoundReached,          // the download wrote as many records, or ran as long, as its bounds
                            // allow; the terminal was not prompted again and may hold more
  };
  Ending ending = Ending::kNotRun;
  int32_t written = 0;         // records of the terminal written in this download
  int32_t pendingWritten = 0;  // records kept from earlier downloads, written first
  int32_t pendingKept = 0;     // records of this terminal still kept as pending afterwards
  std::string text;            // the result text
};

// Which bytes of a status the download reads. A terminal puts its machine number in byte 0, but
// the automation face has always gone by byte 2 alone, and hosts may have terminals that do
// not; a host that collects unattended checks byte 0 too, so that bytes left on the line by
// another terminal (after a network line reconnects, or from two terminals on one number) are
// never stored as this terminal's records. A status from another machine ends the download with
// "ERROR", the port closed and its buffers cleared, and the terminal not prompted again.
enum class StatusCheck {
  kRecordFlag,     // byte 2 only
  kMachineNumber,  // byte 0 must be the prompted machine number, then byte 2
};

// How far one download goes. The terminal does not say how many records it holds, so a terminal
// that always has one more (a fault, or a line that repeats) would otherwise be downloaded
// without end. At either bound the record in hand is written and the terminal is not prompted
// again: it keeps the rest, and the next download's first prompt acknowledges that record.
// The record bound is what a terminal's 16-bit record counter can address; the time bound is
// measured on the clock the reply waits use.
struct DownloadBounds {
  int32_t records = 65535;
  std::chrono::seconds time{30 * 60};
};

// Downloads the records an access-control terminal holds into the host's table, one record per
// prompt [machine number, 1]. Each prompt is answered by a three-byte status whose byte 2 says
// whether a ten-byte record follows; the prompt after a record is the terminal's only
// acknowledgement of it, and the terminal takes any later prompt, even the next download's
// first, as that acknowledgement. So each record is written and committed (`SaveRegisterRecord`)
// before the terminal is prompted again, and a record that could not be written is kept
// (pending_records.hpp) and written before the next download of that terminal prompts it.
//
// - "NODATA": the first status says no record is stored; one prompt was sent, the port is left
//   open and its buffers as they are.
// - "ISEND": at least one record was written and the terminal said no more follow, or did not
//   answer a later prompt within 1 to 2 seconds (no message; the report tells which).
// - "ERROR", nothing sent: a machine number outside 0 to 255, a table name that is not an
//   identifier (table_name.hpp), a database that does not open or lacks the table, or a kept
//   record that still cannot be written; the port is not touched.
// - "ERROR": the port cannot be opened (no message), or the first status does not come within
//   1 to 2 seconds.
// - "ERROR" with notice record_incomplete: a record not complete within 2 to 3 seconds.
// - "ERROR": a record that cannot be written (the database refuses the row): the terminal is
//   not prompted again and the record is kept as pending. A record whose commit's outcome is
//   unknown (the connection dropped around it and the database cannot tell) is not kept, so it
//   is never written twice: the log gives its values.
// - "ERROR" when the host asks it to stop (serial::HostHooks::stopRequested, checked after each
//   record is written): the terminal is not prompted again.
// - "ISEND" when the download reaches its bounds (DownloadBounds, checked after each record is
//   written): the terminal is not prompted again and may hold more; the log says which bound.
// Every ending but "NODATA" closes the port; those that fail after the open clear the buffers.
// Each record written is reported as progress (records so far, total 0: the terminal does not
// say how many it holds). Reasons go to the line's log. A setting the port refuses raises.
// The report's `text` is the result text; the database connections are taken from
// `connections` and the records the download cannot write are kept in `kept`.
RegisterDownloadReport downloadRegisterData(serial::LineState& line, int16_t iMachineNo,
                                            const std::string& iConnectString,
                                            const std::string& iTable,
                                            db::ConnectionPool& connections, PendingRecords& kept,
                                            StatusCheck check = StatusCheck::kRecordFlag,
                                            DownloadBounds bounds = {});

// The same download into any sink, with every rule above; the sink's `prepare` stands where the
// database and table are checked, its `save` where each record is written and committed.
RegisterDownloadReport downloadAccessRecords(serial::LineState& line, int16_t iMachineNo,
                                             AccessRecordSink& sink, PendingRecords& kept,
                                             StatusCheck check = StatusCheck::kRecordFlag,
                                             DownloadBounds bounds = {});

}  // namespace solvard::prohibit
