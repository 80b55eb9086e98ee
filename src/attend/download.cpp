#include "attend/download.hpp"

#include <algorithm>
#include <chrono>

#include "attend/download_database.hpp"
#include "attend/download_report.hpp"
#include "attend/mac_function.hpp"
#include "attend/paced_port.hpp"
#include "attend/record_columns.hpp"
#include "serial/host_link.hpp"
#include "serial/notice.hpp"
#include "serial/shared_port.hpp"

namespace solvard::attend {
namespace {

using serial::Bytes;
using serial::Link;
using serial::WaitResult;
using serial::WaitRule;

constexpr int32_t kNotDownloaded = -1;
constexpr int32_t kNoRecordsKept = 0;

// The download's waits measure the clock with its fractions of a second. The wait for a
// record's nine bytes ends as soon as its limit is reached; the others once it is exceeded.
constexpr WaitRule kWait{WaitRule::Reading::Fractions, WaitRule::Expiry::Exceeds,
                         WaitRule::Order::ClockFirst};
constexpr WaitRule kRecordBytesWait{WaitRule::Reading::Fractions, WaitRule::Expiry::Reaches,
                                    WaitRule::Order::ClockFirst};
constexpr int kEchoSeconds = 1;
constexpr int kCountSeconds = 3;
constexpr int kRecordStartSeconds = 1;
constexpr int kRecordBytesSeconds = 3;

// The terminal's count of stored records, high byte first.
constexpr int kCountLength = 2;

// How far the waits are paced by the terminal's stream: a download that has caught up sleeps
// through the line time of this many records at most, and never longer than this, so the
// host's loop still turns 20 times a second.
constexpr int32_t kRecordsPerPause = 8;
constexpr std::chrono::milliseconds kLongestPause{50};

// Records dropped for a bad end mark: a few are line noise, while this many in a row mean the
// host is out of step with the terminal's stream (or the line repeats garbage without end).
constexpr int32_t kMostDroppedInARow = 10;

bool fromMachine(const Bytes& echoed, int16_t machineNo) {
  return !echoed.empty() && echoed.front() == machineNo;
}

// The ending of a failure before the record loop: port closed, buffers cleared.
int32_t notDownloaded(Link& link) {
  link.closeAndClear();
  return kNotDownloaded;
}

// The ending of a failure inside the record loop: port closed, buffers cleared, and what was
// written of the download undone.
int32_t nothingKept(Link& link, AttendanceSink& sink) {
  link.closeAndClear();
  sink.rollback();
  return kNoRecordsKept;
}

}  // namespace

std::chrono::nanoseconds downloadTimeBound(int32_t total, int32_t baudRate) {
  using std::chrono::milliseconds;
  using std::chrono::nanoseconds;
  // Ten bits a byte: start, eight data bits, stop; a record is its machine byte and nine more.
  constexpr int64_t kRecordBits = 10 * (1 + static_cast<int64_t>(kRecordLength));
  const nanoseconds lineTime =
      baudRate > 0 ? nanoseconds(kRecordBits * 1'000'000'000 / baudRate) : nanoseconds(0);
  const nanoseconds perRecord = std::max<nanoseconds>(3 * lineTime, milliseconds(200));
  return std::chrono::minutes(1) + perRecord * std::max<int32_t>(total, 0);
}

DatabaseSink::DatabaseSink(const serial::LineState& line, db::Connection& connection,
                           int16_t machineNo, std::string connectString)
    : database_(connection, machineNo, line.log), connectString_(std::move(connectString)) {
  if (line.hooks.clock != nullptr) database_.pause = [] {};
}

// The database writes its own reasons to the line's log as it meets them.
bool DatabaseSink::ready(std::string&) { return database_.open(connectString_); }
bool DatabaseSink::begin(int32_t) { return database_.begin(); }
bool DatabaseSink::take(const AttendanceRecord& record) {
  return database_.write(
      {std::to_string(record.machine.value()), record.card, record.date, record.time});
}
void DatabaseSink::rollback() { database_.rollback(); }
bool DatabaseSink::commit() { return commitOutcome() == Committed::kYes; }

UncertainCommit::Committed DatabaseSink::commitOutcome() {
  switch (database_.commit()) {
    case DownloadDatabase::Committed::kYes: return Committed::kYes;
    case DownloadDatabase::Committed::kNo: return Committed::kNo;
    case DownloadDatabase::Committed::kUnknown: break;
  }
  return Committed::kUnknown;
}

int32_t downloadRecords(serial::LineState& line, const serial::PortSetup& objectPort,
                        int16_t machineNo, AttendanceSink& sink, DownloadReport& report) {
  report = DownloadReport{DownloadReport::Ending::kNotDownloaded, 0, 0};
  using SinkStep = DownloadReport::SinkStep;
  const auto refused = [&](SinkStep step) { report.refusedAt = step; };
  const auto ended = [&](DownloadReport::Ending ending, int32_t result) {
    report.ending = ending;
    return result;
  };
  const Result<MachineNumber> machine = MachineNumber::make(machineNo);
  if (!machine) return kNotDownloaded;

  // Paced in real time only: with a clock the host injected (virtual time) the passes stay as
  // they are.
  PacedPort port(serial::linePort(line), line.hooks.clock ? 0 : baudRateOf(objectPort.settingsText),
                 kLongestPause);
  // The link every command gets, but through `port`, which paces the waits by the terminal's
  // stream.
  Link link = serial::commandLink(line, port);
  const auto await = [&](int count, int limitSeconds, const WaitRule& rule, int streamed = 0) {
    port.awaiting(count, streamed, PacedPort::Clock::now() + std::chrono::seconds(limitSeconds));
    return link.awaitReply(count, limitSeconds, rule);
  };
  // From its first step on, a step that fails is skipped; only the open is tested.
  link.skipFailures();
  link.ClosePort();
  serial::applyObjectPort(link, objectPort);

  // The sink first: a download the database cannot take is not asked of the terminal.
  if (std::string problem; !sink.ready(problem)) {
    if (!problem.empty()) line.logLine(problem);
    refused(SinkStep::kReady);
    return kNotDownloaded;
  }

  if (!link.openIfClosed()) {
    link.reportPortFailure();
    return kNotDownloaded;
  }
  link.ClearBuffers();
  const Bytes request{static_cast<uint8_t>(machineNo), 2, command::kDownloadRecords};
  link.SendFrame(request);

  if (await(1, kEchoSeconds, kWait) == WaitResult::TimedOut) {
    link.report(serial::Notice::wrong_machine);
    return notDownloaded(link);
  }
  if (!fromMachine(link.ReadReply(1), machineNo)) {
    notDownloaded(link);
    link.report(serial::Notice::unexpected_reply);
    return kNotDownloaded;
  }
  if (await(kCountLength, kCountSeconds, kWait) == WaitResult::TimedOut) {
    link.report(serial::Notice::reply_incomplete);
    return notDownloaded(link);
  }
  const Bytes count = link.ReadReply(kCountLength);
  const int32_t total = count.size() == kCountLength ? count[0] * 256 + count[1] : 0;
  if (total == 0) {
    link.ClosePort();
    link.report(serial::Notice::no_records);
    return ended(DownloadReport::Ending::kNoRecords, kNoRecordsKept);
  }
  report.total = total;
  line.reportProgress(0, total);

  report.ending = DownloadReport::Ending::kRolledBack;
  if (!sink.begin(total)) {
    refused(SinkStep::kBegin);
    return nothingKept(link, sink);
  }
  const std::chrono::nanoseconds bound =
      downloadTimeBound(total, baudRateOf(objectPort.settingsText));
  const std::chrono::nanoseconds began = link.now();
  int32_t dropped = 0;
  int32_t droppedInARow = 0;
  int32_t i = 1;
  const auto gaveUp = [&](DownloadReport::Ending ending, const std::string& why) {
    line.logLine("GetMacData(" + std::to_string(machineNo) + "): " + why + " after " +
                 std::to_string(i - 1) + " of " + std::to_string(total) +
                 " records; nothing of this download was kept, the terminal still holds them");
    nothingKept(link, sink);
    return ended(ending, kNoRecordsKept);
  };
  while (i <= total) {
    if (line.stopRequested())
      return gaveUp(DownloadReport::Ending::kStopped, "stopped by the host");
    if (link.now() - began > bound) {
      const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(bound).count();
      return gaveUp(DownloadReport::Ending::kTooLong,
                    "the download passed its bound of " + std::to_string(seconds) + " s");
    }
    // Caught up with the terminal, the download sleeps through a few records and then takes
    // them in one go.
    const int32_t coming = std::min(total - i + 1, kRecordsPerPause);
    if (await(1, kRecordStartSeconds, kWait, coming * static_cast<int>(1 + kRecordLength)) ==
        WaitResult::TimedOut) {
      link.report(serial::Notice::unexpected_reply);
      return nothingKept(link, sink);
    }
    if (!fromMachine(link.ReadReply(1), machineNo)) return nothingKept(link, sink);
    if (await(static_cast<int>(kRecordLength), kRecordBytesSeconds, kRecordBytesWait) ==
        WaitResult::TimedOut) {
      link.report(serial::Notice::record_incomplete);
      return nothingKept(link, sink);
    }
    const Bytes record = link.ReadReply(static_cast<int>(kRecordLength));
    if (record.size() != kRecordLength || record.back() != kEndMark) {
      // Dropped: the next ten bytes the terminal sends are taken as this record.
      link.report(serial::Notice::bad_end_mark);
      ++dropped;
      if (++droppedInARow >= kMostDroppedInARow) {
        return gaveUp(DownloadReport::Ending::kOutOfStep,
                      std::to_string(droppedInARow) + " records in a row came with a bad end mark");
      }
      if (dropped > total) {
        return gaveUp(DownloadReport::Ending::kOutOfStep,
                      std::to_string(dropped) +
                          " records came with a bad end mark (more than the terminal holds)");
      }
      continue;
    }
    droppedInARow = 0;
    const RecordColumns row = recordColumns(machineNo, record);
    if (!sink.take({*machine, row.cardNo, row.date, row.time})) {
      refused(SinkStep::kTake);
      return nothingKept(link, sink);
    }
    report.written = i;
    line.reportProgress(i, total);
    ++i;
  }
  using Committed = UncertainCommit::Committed;
  auto* uncertain = dynamic_cast<UncertainCommit*>(&sink);
  const Committed committed = uncertain != nullptr ? uncertain->commitOutcome()
                              : sink.commit()      ? Committed::kYes
                                                   : Committed::kNo;
  switch (committed) {
    case Committed::kYes: break;
    case Committed::kNo: refused(SinkStep::kCommit); return nothingKept(link, sink);
    case Committed::kUnknown:
      // Neither "written" nor "not written": a failure the host cannot take for either.
      notDownloaded(link);
      return ended(DownloadReport::Ending::kOutcomeUnknown, kNotDownloaded);
  }
  // The port stays open and its buffers as they are; the next command closes it first.
  return ended(DownloadReport::Ending::kCommitted, total);
}

}  // namespace solvard::attend
