#include "prohibit/register_download.hpp"

#include "automation/variant.hpp"
#include "prohibit/access_record.hpp"
#include "prohibit/command_codes.hpp"
#include "prohibit/command_exchange.hpp"
#include "prohibit/record_store.hpp"
#include "prohibit/table_name.hpp"
#include "serial/host_link.hpp"
#include "serial/port_setup.hpp"
#include "ui/host_reports.hpp"
#include "ui/messages.hpp"

namespace solvard::prohibit {
namespace {

constexpr int kStatusLength = 3;
constexpr int kStatusLimit = 1;
constexpr int kRecordLimit = 3;
constexpr std::size_t kRecordFollows = 2;

// The record wait gives up as soon as three whole seconds have passed, not after more than three.
constexpr serial::WaitRule kRecordWait{serial::WaitRule::Reading::WholeSeconds,
                                       serial::WaitRule::Expiry::Reaches,
                                       serial::WaitRule::Order::ClockFirst};

void closeAndClear(serial::Link& link) {
  link.ClosePort();
  link.ClearBuffers();
}

void logRefusal(int16_t machineNo, const std::string& why) {
  ui::logLine("GetRegisterData, terminal " + std::to_string(machineNo) + ": " + why);
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

enum class Status { RecordFollows, NoRecord, NoAnswer };

// Awaits and reads the status that answers a prompt. A status the read did not give whole is
// taken as no answer.
Status awaitStatus(serial::Link& link) {
  if (link.AwaitReply(kStatusLength, kStatusLimit) == serial::WaitResult::TimedOut) {
    return Status::NoAnswer;
  }
  const serial::Bytes status = link.ReadReply(kStatusLength);
  if (status.size() != std::size_t{kStatusLength}) return Status::NoAnswer;
  return status[kRecordFollows] != 0 ? Status::RecordFollows : Status::NoRecord;
}

}  // namespace

std::string downloadRegisterData(int16_t iMachineNo, const std::string& iConnectString,
                                 const std::string& iTable, db::ConnectionPool& connections) {
  if (!addressesOneTerminal(iMachineNo)) return kError;
  if (!isTableName(iTable)) {
    logRefusal(iMachineNo, "\"" + iTable + "\" is not a table name; nothing was sent");
    return kError;
  }

  serial::Link link = serial::commandLink();
  if (link.OpenPort(serial::librarySetup(), serial::OnOpenFailure::Silent) ==
      serial::OpenResult::CannotOpen) {
    return kError;
  }
  link.ClearBuffers();
  serial::Bytes prompt(2);
  link.step([&] { prompt[0] = automation::toByte(iMachineNo); });
  link.step([&] { prompt[1] = static_cast<uint8_t>(CommandCode::RecordPrompt); });
  link.SendFrame(prompt);

  switch (awaitStatus(link)) {
    case Status::NoAnswer: closeAndClear(link); return kError;
    case Status::NoRecord: return kNoData;
    case Status::RecordFollows: break;
  }

  RecordStore store(connections, iConnectString, iTable);
  int32_t written = 0;
  for (;;) {
    if (link.awaitReply(static_cast<int>(kAccessRecordLength), kRecordLimit, kRecordWait) ==
        serial::WaitResult::TimedOut) {
      link.report(ui::msg::kRecordIncomplete);
      closeAndClear(link);
      return kError;
    }
    const serial::Bytes record = link.ReadReply(static_cast<int>(kAccessRecordLength));
    const StoreOutcome stored = store.SaveRegisterRecord(record);
    if (!stored.written) {
      // Prompting again would tell the terminal the record is safe. The log keeps its values in
      // case the terminal takes a later download's first prompt as the acknowledgement.
      logRefusal(iMachineNo,
                 "record " + std::to_string(written + 1) + " (" + describe(record) +
                     ") not written, the terminal was not prompted again: " + stored.problem);
      closeAndClear(link);
      return kError;
    }
    ui::reportProgress(++written, 0);

    link.SendFrame(prompt);
    switch (awaitStatus(link)) {
      case Status::NoAnswer: closeAndClear(link); return kIsEnd;
      case Status::NoRecord: link.ClosePort(); return kIsEnd;
      case Status::RecordFollows: break;
    }
  }
}

std::string GetRegisterData(int16_t iMachineNo, const std::string& iConnectString,
                            const std::string& iTable) {
  // The connection lives as long as the download: kept between its records, closed after.
  db::ConnectionPool connections;
  return downloadRegisterData(iMachineNo, iConnectString, iTable, connections);
}

}  // namespace solvard::prohibit
