#include "prohibit/register_download.hpp"

#include "prohibit/access_record.hpp"
#include "prohibit/command_codes.hpp"
#include "prohibit/command_exchange.hpp"
#include "prohibit/occurrence.hpp"
#include "prohibit/pending_records.hpp"
#include "prohibit/record_store.hpp"
#include "prohibit/table_name.hpp"
#include "serial/byte_value.hpp"
#include "serial/host_link.hpp"
#include "serial/line_state.hpp"
#include "serial/notice.hpp"
#include "serial/port_setup.hpp"

namespace solvard::prohibit {
namespace {

constexpr int kStatusLength = 3;
constexpr int kStatusLimit = 1;
constexpr int kRecordLimit = 3;
constexpr std::size_t kStatusMachine = 0;
constexpr std::size_t kRecordFollows = 2;

// The record wait gives up as soon as three whole seconds have passed, not after more than three.
constexpr serial::WaitRule kRecordWait{serial::WaitRule::Reading::WholeSeconds,
                                       serial::WaitRule::Expiry::Reaches,
                                       serial::WaitRule::Order::ClockFirst};

void logRefusal(const serial::LineState& lineState, int16_t machineNo, const std::string& why) {
  lineState.logLine("GetRegisterData, terminal " + std::to_string(machineNo) + ": " + why);
}

// The record as the log shows it: its row when it has ten bytes, else the bytes that came.
std::string describe(const serial::Bytes& record) {
  if (const auto row = decodeAccessRecord(record)) {
    return "card " + row->card + ", " + row->date + " " + row->time;
  }
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text = std::to_string(record.size()) + " bytes";
  for (const uint8_t byte : record) {
    text += ' ';
    text += kDigits[byte >> 4];
    text += kDigits[byte & 0x0F];
  }
  return text;
}

enum class Status {
  RecordFollows,
  NoRecord,
  NoAnswer,
  FromAnotherMachine,
  Unread,  // the answer came and the port failed handing it over whole
};

// Awaits and reads the status that answers a prompt. `machine` is the prompted machine number when
// byte 0 is to be checked, else kAnyMachine.
constexpr int kAnyMachine = -1;
Status awaitStatus(serial::Link& link, int machine) {
  if (link.AwaitReply(kStatusLength, kStatusLimit) == serial::WaitResult::TimedOut) {
    return Status::NoAnswer;
  }
  const serial::Bytes status = link.ReadReply(kStatusLength);
  // The answer had come; only the port can have failed to hand it over.
  if (status.size() != std::size_t{kStatusLength}) return Status::Unread;
  if (machine != kAnyMachine && status[kStatusMachine] != machine) {
    return Status::FromAnotherMachine;
  }
  return status[kRecordFollows] != 0 ? Status::RecordFollows : Status::NoRecord;
}

// Writes the records kept for this terminal by earlier downloads, oldest first, before its
// first prompt acknowledges the last of them. False when one still cannot be written, or the
// kept records cannot be read: then nothing may be sent.
bool writePending(const serial::LineState& lineState, PendingRecords& pending,
                  const std::string& line, int16_t machineNo, AccessRecordSink& store,
                  RegisterDownloadReport& report) {
  std::vector<PendingRecord> kept;
  std::string unread;
  if (!pending.recordsOf(line, machineNo, kept, unread)) {
    logRefusal(lineState, machineNo,
               "the records kept from earlier downloads cannot be read, so the "
               "terminal was not prompted: " +
                   unread);
    return false;
  }
  for (const PendingRecord& record : kept) {
    const std::string occurrence =
        record.occurrence.empty() ? std::string(kEarlierOccurrence) : record.occurrence;
    StoreOutcome stored{StoreOutcome::State::kWritten};
    std::string unsettled;
    bool storedAfterAll = false;
    switch (record.marker.empty() ? AccessRecordSink::Settled::kNotStored
                                  : store.settle(record.marker, unsettled)) {
      case AccessRecordSink::Settled::kStored:
        // The lost commit went through after all: written once, by the earlier download.
        logRefusal(lineState, machineNo,
                   "a record kept from an earlier download (" + describe(record.record) +
                       ") was stored by it after all");
        storedAfterAll = true;
        break;
      case AccessRecordSink::Settled::kNotStored:
        stored = store.save(record.record, {occurrence, true});
        break;
      case AccessRecordSink::Settled::kUnknown:
        logRefusal(lineState, machineNo,
                   "a record kept from an earlier download (" + describe(record.record) +
                       ") may be stored or not, and the database still cannot say (" + unsettled +
                       "), so the terminal was not prompted: look for the row, and "
                       "remove the record from the kept records once it is stored");
        return false;
    }
    if (stored.state == StoreOutcome::State::kNotWritten) {
      logRefusal(
          lineState, machineNo,
          "a record kept from an earlier download (" + describe(record.record) +
              ") still cannot be written, so the terminal was not prompted: " + stored.problem);
      return false;
    }
    if (storedAfterAll) {
      // Nothing written: it is there once already.
    } else if (!stored.written()) {
      logRefusal(lineState, machineNo,
                 "a record kept from an earlier download (" + describe(record.record) +
                     "): " + stored.problem + "; it is no longer kept");
    } else {
      ++report.pendingWritten;
      logRefusal(lineState, machineNo,
                 "a record kept from an earlier download (" + describe(record.record) +
                     ") is now written");
    }
    std::string problem;
    if (!pending.forget(record, problem)) {
      logRefusal(
          lineState, machineNo,
          "the kept record " + describe(record.record) + " could not be forgotten: " + problem);
      return false;
    }
  }
  return true;
}

int32_t pendingCount(PendingRecords& kept, const std::string& line, int16_t machineNo) {
  return static_cast<int32_t>(kept.recordsOf(line, machineNo).size());
}

}  // namespace

RegisterDownloadReport downloadRegisterData(serial::LineState& lineState, int16_t iMachineNo,
                                            const std::string& iConnectString,
                                            const std::string& iTable,
                                            db::ConnectionPool& connections, PendingRecords& kept,
                                            StatusCheck check, DownloadBounds bounds) {
  if (addressesOneTerminal(iMachineNo) && !isTableName(iTable)) {
    logRefusal(lineState, iMachineNo, "\"" + iTable + "\" is not a table name; nothing was sent");
    RegisterDownloadReport report;
    report.ending = RegisterDownloadReport::Ending::kRefused;
    report.text = kError;
    report.pendingKept = pendingCount(kept, lineState.devicePath(), iMachineNo);
    return report;
  }
  RecordStore store(connections, iConnectString, iTable);
  // With a clock the host injected (virtual time) nothing waits in real time.
  if (lineState.hooks.clock != nullptr) store.pause = [] {};
  return downloadAccessRecords(lineState, iMachineNo, store, kept, check, bounds);
}

RegisterDownloadReport downloadAccessRecords(serial::LineState& lineState, int16_t iMachineNo,
                                             AccessRecordSink& store, PendingRecords& kept,
                                             StatusCheck check, DownloadBounds bounds) {
  using Ending = RegisterDownloadReport::Ending;
  RegisterDownloadReport report;
  const std::string line = lineState.devicePath();
  const auto ended = [&](Ending ending, const char* text) {
    report.ending = ending;
    report.text = text;
    report.pendingKept = pendingCount(kept, line, iMachineNo);
    return report;
  };
  if (!addressesOneTerminal(iMachineNo)) return ended(Ending::kRefused, kError);

  // The sink first: a record the terminal sent must have somewhere to go before the terminal
  // is prompted, or the prompt after it would make the terminal forget it.
  std::string problem;
  if (!store.prepare(problem)) {
    logRefusal(lineState, iMachineNo, problem + "; nothing was sent");
    return ended(Ending::kDatabaseNotReady, kError);
  }
  // A record the store then refuses is kept, so the kept-records store must take one too.
  if (!kept.ready(problem)) {
    logRefusal(lineState, iMachineNo, "records cannot be kept: " + problem + "; nothing was sent");
    return ended(Ending::kPendingNotWritten, kError);
  }
  if (!writePending(lineState, kept, line, iMachineNo, store, report)) {
    return ended(Ending::kPendingNotWritten, kError);
  }

  serial::Link link = serial::commandLink(lineState);
  if (link.OpenPort(lineState.settings, serial::OnOpenFailure::Silent) ==
      serial::OpenResult::CannotOpen) {
    return ended(Ending::kPortNotOpened, kError);
  }
  link.ClearBuffers();
  const std::chrono::nanoseconds began = link.now();
  serial::Bytes prompt(2);
  link.step([&] { prompt[0] = serial::byteOf(iMachineNo); });
  link.step([&] { prompt[1] = static_cast<uint8_t>(CommandCode::RecordPrompt); });
  link.SendFrame(prompt);

  const int prompted = check == StatusCheck::kMachineNumber ? int{prompt[0]} : kAnyMachine;
  // Bytes of another terminal are no status of this one: whatever follows them is not this
  // terminal's record, and prompting again would acknowledge a record never read.
  const auto fromAnotherMachine = [&](const std::string& which) {
    logRefusal(
        lineState, iMachineNo,
        "the status " + which + " came from another machine; the terminal was not prompted again");
    link.closeAndClear();
    return ended(Ending::kWrongMachine, kError);
  };
  // The terminal answered, so a record it sent with the answer counts as delivered at its next
  // prompt; the log names the loss for a person to look into.
  const auto answerUnread = [&](const std::string& which) {
    logRefusal(lineState, iMachineNo,
               "the port failed while the terminal's answer " + which +
                   " was read; a record the terminal sent with it is lost, as its "
                   "next prompt tells the terminal the record is stored");
    link.closeAndClear();
    return ended(Ending::kAnswerUnread, kError);
  };
  switch (awaitStatus(link, prompted)) {
    case Status::NoAnswer: link.closeAndClear(); return ended(Ending::kNoFirstStatus, kError);
    case Status::Unread: return answerUnread("to the first prompt");
    case Status::FromAnotherMachine: return fromAnotherMachine("of the first prompt");
    case Status::NoRecord: return ended(Ending::kNoData, kNoData);
    case Status::RecordFollows: break;
  }

  OccurrenceSource occurrences;
  for (;;) {
    if (link.awaitReply(static_cast<int>(kAccessRecordLength), kRecordLimit, kRecordWait) ==
        serial::WaitResult::TimedOut) {
      link.report(serial::Notice::record_incomplete);
      link.closeAndClear();
      return ended(Ending::kRecordIncomplete, kError);
    }
    const serial::Bytes record = link.ReadReply(static_cast<int>(kAccessRecordLength));
    const std::string occurrence = occurrences.next();
    const StoreOutcome stored = store.save(record, {occurrence, false});
    if (stored.state == StoreOutcome::State::kUnknown) {
      // Kept with the transaction it was written in, the next download asks the database what
      // became of it before writing it again: neither lost nor written twice. Where the engine
      // cannot be asked, kept it could be written twice and dropped it could be lost: the log
      // keeps its values for a person to look for.
      std::string why;
      const bool keptNow = !stored.marker.empty() && record.size() == kAccessRecordLength &&
                           kept.keep({line, iMachineNo, record, occurrence, stored.marker}, why);
      logRefusal(lineState, iMachineNo,
                 "record " + std::to_string(report.written + 1) + " (" + describe(record) +
                     "): " + stored.problem + "; the terminal was not prompted again" +
                     (keptNow ? "; it is kept, and the next download asks the database whether it "
                                "was stored before writing it"
                      : why.empty() ? ""
                                    : "; it could not be kept: " + why));
      link.closeAndClear();
      return ended(Ending::kRecordOutcomeUnknown, kError);
    }
    if (!stored.written()) {
      // Prompting again would tell the terminal the record is safe; so would the next
      // download's first prompt, which is why the record is kept until then.
      std::string why;
      const bool keptNow = record.size() == kAccessRecordLength &&
                           kept.keep({line, iMachineNo, record, occurrence, {}}, why);
      logRefusal(lineState, iMachineNo,
                 "record " + std::to_string(report.written + 1) + " (" + describe(record) +
                     ") not written, the terminal was not prompted again: " + stored.problem +
                     (keptNow ? "; it is kept and will be written before the next download from "
                                "this terminal prompts it"
                              : "; it could not be kept" + (why.empty() ? "" : ": " + why) +
                                    (record.size() == kAccessRecordLength
                                         ? ""
                                         : ", and it is lost, as the terminal's next prompt tells "
                                           "it the record is stored")));
      link.closeAndClear();
      return ended(Ending::kRecordNotWritten, kError);
    }
    lineState.reportProgress(++report.written, 0);

    if (lineState.stopRequested()) {
      logRefusal(lineState, iMachineNo,
                 "stopped by the host after " + std::to_string(report.written) +
                     " records written; the terminal was not prompted again and "
                     "may hold more");
      link.closeAndClear();
      return ended(Ending::kStopped, kError);
    }
    const bool allRecords = report.written >= bounds.records;
    if (allRecords || link.now() - began >= bounds.time) {
      logRefusal(lineState, iMachineNo,
                 "the download reached its bound of " +
                     (allRecords ? std::to_string(bounds.records) + " records"
                                 : std::to_string(bounds.time.count()) + " s") +
                     " after " + std::to_string(report.written) +
                     " records written; the terminal was not prompted again and may hold more");
      link.closeAndClear();
      return ended(Ending::kBoundReached, kIsEnd);
    }

    link.SendFrame(prompt);
    switch (awaitStatus(link, prompted)) {
      case Status::NoAnswer:
        logRefusal(lineState, iMachineNo,
                   "the terminal did not answer the prompt after record " +
                       std::to_string(report.written) + "; it may hold more records");
        link.closeAndClear();
        return ended(Ending::kStoppedAnswering, kIsEnd);
      case Status::NoRecord: link.ClosePort(); return ended(Ending::kEnd, kIsEnd);
      case Status::FromAnotherMachine:
        return fromAnotherMachine("after record " + std::to_string(report.written));
      case Status::Unread:
        return answerUnread("to the prompt after record " + std::to_string(report.written));
      case Status::RecordFollows: break;
    }
  }
}

}  // namespace solvard::prohibit
