#include "solvard/attend_terminal.hpp"

#include <ctime>

#include "attend/download.hpp"
#include "attend/mac_command.hpp"
#include "attend/original_card_no.hpp"
#include "db/odbc_connection.hpp"
#include "native/line_core.hpp"
#include "native/sqlite_tables.hpp"
#include "native/wall_clock.hpp"
#include "serial/notice.hpp"

namespace solvard {
namespace {

using attend::MacFunction;

// Keeps the records until the download has them all, then gives them to the callback: a
// download that fails half-way hands over nothing, so running it again gives each record once.
class CallbackSink final : public AttendanceSink {
 public:
  explicit CallbackSink(AttendanceCallback onRecord) : onRecord_(std::move(onRecord)) {}
  bool ready(std::string&) override { return true; }
  bool begin(int32_t total) override {
    records_.clear();
    records_.reserve(static_cast<std::size_t>(total));
    return true;
  }
  bool take(const AttendanceRecord& record) override {
    records_.push_back(record);
    return true;
  }
  bool commit() override {
    for (const AttendanceRecord& record : records_) onRecord_(record);
    records_.clear();
    return true;
  }
  void rollback() override { records_.clear(); }

 private:
  AttendanceCallback onRecord_;
  std::vector<AttendanceRecord> records_;
};

// The error of a download that ended without its records, from how it ended.
Error downloadFailure(const detail::LineCore& line, uint8_t machine,
                      const attend::DownloadReport& report, Errc refusal, Errc unavailable) {
  using Ending = attend::DownloadReport::Ending;
  using SinkStep = attend::DownloadReport::SinkStep;
  const bool notReady = report.refusedAt == SinkStep::kReady;
  const bool refused = report.refusedAt != SinkStep::kNone && !notReady;
  const std::string terminal = "terminal " + std::to_string(machine);
  const std::string progress =
      "record " + std::to_string(report.written + 1) + " of " + std::to_string(report.total);
  if (notReady) return Error(unavailable, line.notes.logText());
  if (auto port = line.portFailure()) return *port;
  switch (report.ending) {
    case Ending::kOutcomeUnknown: return Error(Errc::outcome_unknown, line.notes.logText());
    case Ending::kStopped: return Error(Errc::stopped, line.notes.logText());
    case Ending::kOutOfStep: return Error(Errc::unexpected_reply, line.notes.logText());
    case Ending::kTooLong: return Error(Errc::limit_reached, line.notes.logText());
    case Ending::kRolledBack:
      if (refused) {
        // Every record came and the store refused them at the end: that is the commit, not a
        // record beyond the terminal's count.
        const std::string step =
            report.total > 0 && report.written >= report.total ? "the commit" : progress;
        return Error(refusal, step + (line.notes.log.empty() ? "" : ": ") + line.notes.logText());
      }
      if (line.notes.said(serial::Notice::unexpected_reply)) {
        return Error(Errc::no_reply, terminal + ": no byte of " + progress + " came");
      }
      if (line.notes.said(serial::Notice::record_incomplete)) {
        return Error(Errc::reply_incomplete, terminal + ": " + progress + " did not come whole");
      }
      return line.exchangeFailure(machine, progress);
    default: break;
  }
  if (line.notes.said(serial::Notice::wrong_machine)) {
    return line.exchangeFailure(machine, "echo of the download request");
  }
  if (line.notes.said(serial::Notice::reply_incomplete)) {
    return line.exchangeFailure(machine, "record count");
  }
  return line.exchangeFailure(machine, "echo of the download request");
}

}  // namespace

namespace {

Result<void> sendCommand(Line& line, MachineNumber machine, MacFunction function,
                         const serial::Bytes& values = {}) {
  detail::LineCore& impl = detail::lineCore(line);
  return impl.run<void>([&]() -> Result<void> {
    const serial::Bytes frame = attend::macFrame(machine.value(), function, values);
    if (attend::sendMacFrame(impl.state, impl.portSetup(), machine.value(), frame) == 1) {
      return {};
    }
    if (auto port = impl.portFailure()) return *port;
    return impl.exchangeFailure(machine.value(), "acknowledgement");
  });
}

Result<AttendanceSummary> runDownload(Line& line, MachineNumber machine, AttendanceSink& sink,
                                      Errc refusal, Errc unavailable) {
  detail::LineCore& impl = detail::lineCore(line);
  return impl.run<AttendanceSummary>([&]() -> Result<AttendanceSummary> {
    attend::DownloadReport report;
    const int32_t result =
        attend::downloadRecords(impl.state, impl.portSetup(), machine.value(), sink, report);
    using Ending = attend::DownloadReport::Ending;
    if (report.ending == Ending::kCommitted || report.ending == Ending::kNoRecords) {
      return AttendanceSummary{result};
    }
    return downloadFailure(impl, machine.value(), report, refusal, unavailable);
  });
}

}  // namespace

Result<void> AttendTerminal::clearRecords() {
  return sendCommand(*line_, machine_, MacFunction::ClearRecords);
}

Result<void> AttendTerminal::clearCardList() {
  return sendCommand(*line_, machine_, MacFunction::ClearCardList);
}

Result<void> AttendTerminal::deleteCard(const ShortCardNumber& card) {
  return sendCommand(*line_, machine_, MacFunction::DeleteCard, attend::cardValues(card.digits()));
}

Result<void> AttendTerminal::setFlowNumber(const ShortCardNumber& flow,
                                           const CardNumber& original) {
  return sendCommand(*line_, machine_, MacFunction::SetFlowNo,
                     attend::flowValues(flow.digits(), original.digits()));
}

Result<void> AttendTerminal::setTime(TimeOfDay time) {
  return sendCommand(*line_, machine_, MacFunction::SetTime,
                     attend::clockValues(time.hour(), time.minute(), time.second()));
}

Result<void> AttendTerminal::setDate(Date date) {
  const std::chrono::year_month_day day = date.value();
  return sendCommand(*line_, machine_, MacFunction::SetDate,
                     attend::clockValues(static_cast<int>(day.year()) % 100,
                                         static_cast<int>(unsigned(day.month())),
                                         static_cast<int>(unsigned(day.day()))));
}

Result<void> AttendTerminal::setClock(std::chrono::local_seconds wallClock) {
  const auto parts = detail::splitWallClock(wallClock);
  if (!parts) return parts.error();
  if (auto dated = setDate(parts->date); !dated) return dated;
  return setTime(parts->time);
}

Result<CardNumber> AttendTerminal::readOriginalCard() {
  detail::LineCore& impl = detail::lineCore(*line_);
  return impl.run<CardNumber>([&]() -> Result<CardNumber> {
    const auto card =
        attend::ReadOriginalCardNo(impl.state, machine_.value(), impl.state.settings.portNumber);
    if (card) {
      auto number = CardNumber::make(*card);
      if (number) return number;
      return Error(Errc::unexpected_reply, "terminal " + std::to_string(machine_.value()) +
                                               ": the card number read was \"" + *card + "\"");
    }
    if (auto port = impl.portFailure()) return *port;
    return impl.exchangeFailure(machine_.value(), "card number");
  });
}

Result<AttendanceSummary> AttendTerminal::download(AttendanceSink& sink) {
  return runDownload(*line_, machine_, sink, Errc::sink_refused, Errc::sink_refused);
}

Result<AttendanceSummary> AttendTerminal::download(AttendanceCallback onRecord) {
  CallbackSink sink(std::move(onRecord));
  return download(sink);
}

Result<AttendanceSummary> AttendTerminal::downloadToDatabase(const std::string& connection) {
  if (auto problem = native::prepareAttendanceFile(connection)) return *problem;
  // The line's own connection for this download, closed after it: no state shared with other
  // lines or with the automation classes.
  const std::unique_ptr<db::Connection> database =
      db::makeOdbcConnection(detail::lineCore(*line_).state.log);
  attend::DatabaseSink tables(detail::lineCore(*line_).state, *database, machine_.value(),
                              connection);
  auto result =
      runDownload(*line_, machine_, tables, Errc::database_refused, Errc::database_unavailable);
  if (database->State() == db::kStateOpen) (void)database->Close();
  return result;
}

}  // namespace solvard
