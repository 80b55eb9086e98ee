#include "solvard/door_terminal.hpp"

#include "db/odbc_connection.hpp"
#include "db/pool.hpp"
#include "native/line_core.hpp"
#include "native/sqlite_tables.hpp"
#include "native/wall_clock.hpp"
#include "prohibit/access_record.hpp"
#include "prohibit/clock_commands.hpp"
#include "prohibit/identity.hpp"
#include "prohibit/open_list.hpp"
#include "prohibit/register_download.hpp"
#include "prohibit/simple_commands.hpp"
#include "prohibit/table_name.hpp"

namespace solvard {
namespace {

// Runs `command` (a protocol function ending as a value) as the line's one command.
template <typename Command>
Result<void> onLine(Line& line, Command&& command) {
  detail::LineCore& impl = detail::lineCore(line);
  return impl.run<void>([&]() -> Result<void> { return command(impl.state); });
}

// Hands each record to the host's callback; a record it refuses is kept for the next download.
class CallbackStore final : public prohibit::AccessRecordSink {
 public:
  CallbackStore(AccessCallback onRecord, MachineNumber machine)
      : onRecord_(std::move(onRecord)), machine_(machine) {}
  bool prepare(std::string&) override { return true; }
  prohibit::StoreOutcome save(std::span<const uint8_t> record,
                              const prohibit::RecordOrigin& origin) override {
    using State = prohibit::StoreOutcome::State;
    const auto row = prohibit::decodeAccessRecord(record);
    if (!row) return {State::kNotWritten, "the record came short"};
    if (!onRecord_(
            {machine_, row->card, row->date, row->time, origin.occurrence, origin.keptEarlier})) {
      return {State::kNotWritten, "the host did not take it"};
    }
    return {State::kWritten, {}};
  }

 private:
  AccessCallback onRecord_;
  MachineNumber machine_;
};

Result<AccessSummary> finished(const detail::LineCore& line, uint8_t machine,
                               const prohibit::RegisterDownloadReport& report, Errc refusal,
                               Errc unavailable) {
  using Ending = prohibit::RegisterDownloadReport::Ending;
  const std::string kept = std::to_string(report.written) + " records kept";
  const auto detailed = [&](const std::string& what) {
    return line.notes.log.empty() ? what : what + "; " + line.notes.logText();
  };
  switch (report.ending) {
    case Ending::kNoData:
    case Ending::kEnd: return AccessSummary{report.written, report.pendingWritten, false};
    case Ending::kBoundReached: return AccessSummary{report.written, report.pendingWritten, true};
    case Ending::kNotRun:
    case Ending::kRefused: return Error(Errc::invalid_value, line.notes.logText());
    case Ending::kDatabaseNotReady: return Error(unavailable, line.notes.logText());
    case Ending::kPendingNotWritten: return Error(Errc::record_pending, line.notes.logText());
    case Ending::kPortNotOpened:
      if (auto port = line.portFailure()) return *port;
      return Error(Errc::port_failed, line.notes.logText());
    case Ending::kNoFirstStatus: return line.exchangeFailure(machine, "status of the first prompt");
    case Ending::kStoppedAnswering: return Error(Errc::no_reply, detailed(kept));
    case Ending::kRecordIncomplete: {
      const Error cut =
          line.exchangeFailure(machine, "record " + std::to_string(report.written + 1));
      return Error(Errc::reply_incomplete, cut.detail() + "; " + kept);
    }
    case Ending::kRecordNotWritten: return Error(refusal, detailed(kept));
    case Ending::kRecordOutcomeUnknown: return Error(Errc::outcome_unknown, detailed(kept));
    case Ending::kAnswerUnread: return Error(Errc::port_failed, detailed(kept));
    case Ending::kStopped: return Error(Errc::stopped, detailed(kept));
    case Ending::kWrongMachine: {
      const Error other = line.exchangeFailure(
          machine, report.written == 0 ? std::string("status of the first prompt")
                                       : "status after record " + std::to_string(report.written));
      return Error(Errc::wrong_machine, other.detail() + "; " + kept);
    }
  }
  return Error(Errc::port_failed, line.notes.logText());
}

}  // namespace

Result<CardNumber> DoorTerminal::identity() {
  detail::LineCore& impl = detail::lineCore(*line_);
  return impl.run<CardNumber>(
      [&]() -> Result<CardNumber> { return prohibit::identity(impl.state, machine_); });
}

Result<void> DoorTerminal::openDoor() {
  return onLine(*line_, [&](serial::LineState& l) { return prohibit::openLock(l, machine_); });
}

Result<void> DoorTerminal::readLockState() {
  return onLine(*line_, [&](serial::LineState& l) { return prohibit::lockState(l, machine_); });
}

Result<void> DoorTerminal::holdOpen() {
  return onLine(*line_, [&](serial::LineState& l) { return prohibit::holdLockOpen(l, machine_); });
}

Result<void> DoorTerminal::setResetDelay(int seconds) {
  if (seconds < 1 || seconds > 255) {
    return Error(Errc::invalid_value,
                 "reset delay " + std::to_string(seconds) + " s is not 1 to 255 seconds");
  }
  return onLine(*line_, [&](serial::LineState& l) {
    return prohibit::setResetDelay(l, machine_, static_cast<uint8_t>(seconds));
  });
}

Result<void> DoorTerminal::setLockMode(LockMode mode) {
  return onLine(*line_, [&](serial::LineState& l) {
    return prohibit::setLockMode(l, machine_, static_cast<uint8_t>(mode));
  });
}

Result<void> DoorTerminal::setDate(Date date, WeekdayNumber weekday) {
  return onLine(
      *line_, [&](serial::LineState& l) { return prohibit::setDate(l, machine_, date, weekday); });
}

Result<void> DoorTerminal::setTime(TimeOfDay time) {
  return onLine(*line_, [&](serial::LineState& l) { return prohibit::setTime(l, machine_, time); });
}

Result<void> DoorTerminal::setClock(std::chrono::local_seconds wallClock,
                                    std::optional<WeekdayNumber> weekday) {
  const auto parts = detail::splitWallClock(wallClock);
  if (!parts) return parts.error();
  if (auto dated = setDate(parts->date, weekday.value_or(WeekdayNumber::iso(parts->weekday)));
      !dated) {
    return dated;
  }
  return setTime(parts->time);
}

Result<void> DoorTerminal::allowCard(const CardNumber& card, const CardPermit& permit) {
  return onLine(
      *line_, [&](serial::LineState& l) { return prohibit::allowCard(l, machine_, card, permit); });
}

Result<void> DoorTerminal::denyCard(const CardNumber& card) {
  return onLine(*line_,
                [&](serial::LineState& l) { return prohibit::denyCard(l, machine_, card); });
}

Result<void> DoorTerminal::clearCardList() {
  return onLine(*line_, [&](serial::LineState& l) { return prohibit::clearOpenList(l, machine_); });
}

Result<void> DoorTerminal::clearRecords() {
  return onLine(*line_,
                [&](serial::LineState& l) { return prohibit::clearOpenRecord(l, machine_); });
}

Result<AccessSummary> DoorTerminal::download(AccessCallback onRecord, AccessBounds bounds) {
  if (bounds.records < 1 || bounds.time.count() < 1) {
    return Error(Errc::invalid_value, "a download's bounds are at least 1 record and 1 s");
  }
  detail::LineCore& impl = detail::lineCore(*line_);
  return impl.run<AccessSummary>([&]() -> Result<AccessSummary> {
    CallbackStore store(std::move(onRecord), machine_);
    const auto report = prohibit::downloadAccessRecords(
        impl.state, machine_.value(), store, impl.keptStore(),
        prohibit::StatusCheck::kMachineNumber, {bounds.records, bounds.time});
    return finished(impl, machine_.value(), report, Errc::sink_refused, Errc::sink_refused);
  });
}

Result<AccessSummary> DoorTerminal::downloadToDatabase(const std::string& connection,
                                                       const std::string& table) {
  if (!prohibit::isTableName(table)) {
    return Error(Errc::invalid_value, "\"" + table + "\" is not a table name");
  }
  if (auto problem = native::prepareAccessRecordFile(connection, table)) return *problem;
  detail::LineCore& impl = detail::lineCore(*line_);
  return impl.run<AccessSummary>([&]() -> Result<AccessSummary> {
    db::ConnectionPool connections([&impl] { return db::makeOdbcConnection(impl.state.log); });
    const auto report =
        prohibit::downloadRegisterData(impl.state, machine_.value(), connection, table, connections,
                                       impl.keptStore(), prohibit::StatusCheck::kMachineNumber);
    if (report.ending == prohibit::RegisterDownloadReport::Ending::kRefused) {
      return Error(Errc::invalid_value, "\"" + table + "\" is not a table name");
    }
    return finished(impl, machine_.value(), report, Errc::database_refused,
                    Errc::database_unavailable);
  });
}

}  // namespace solvard
