#include "prohibit/clock_commands.hpp"

#include "automation/variant.hpp"
#include "prohibit/command_exchange.hpp"
#include "prohibit/field_bytes.hpp"
#include "serial/line_errors.hpp"
#include "values/fault.hpp"

namespace solvard::prohibit {
namespace {

constexpr uint8_t kDateFollowing = 4;
constexpr uint8_t kTimeFollowing = 3;

// Frame [machine number, 6, 4, year mod 100, month, day, weekday]: the date packed decimal,
// `weekdayByte` the last byte. No step of it may fail silently.
Command dateCommand(int16_t machineNo, int year, int month, int day,
                    std::function<uint8_t()> weekdayByte) {
  Command command(machineNo, CommandCode::DateAndWeek, 7);
  command.onStepFailure = OnStepFailure::Raise;
  command.payload = [=](serial::Link& link, serial::Bytes& frame) {
    link.step([&] { frame[2] = kDateFollowing; });
    link.step([&] { frame[3] = packedDecimal(year % 100); });
    link.step([&] { frame[4] = packedDecimal(month); });
    link.step([&] { frame[5] = packedDecimal(day); });
    link.step([&] { frame[6] = weekdayByte(); });
  };
  return command;
}

// Frame [machine number, 7, 3, hour, minute, second], packed decimal.
Command timeCommand(int16_t machineNo, int hour, int minute, int second) {
  Command command(machineNo, CommandCode::TimeOfDay, 6);
  command.payload = [=](serial::Link& link, serial::Bytes& frame) {
    link.step([&] { frame[2] = kTimeFollowing; });
    link.step([&] { frame[3] = packedDecimal(hour); });
    link.step([&] { frame[4] = packedDecimal(minute); });
    link.step([&] { frame[5] = packedDecimal(second); });
  };
  return command;
}

Result<void> acknowledgement(const serial::LineState& line, MachineNumber machine,
                             serial::Ending ending) {
  return serial::exchangeResult(line, ending, machine.value(), "acknowledgement");
}

}  // namespace

bool SetMacDateAndWeek(serial::LineState& line, const int16_t& iMachineNo,
                       const automation::DateTime& iDate, const int16_t& iFirstWeek) {
  // The byte conversion of the machine number would raise this once the port is open; raising it
  // first keeps the port and the line untouched.
  if (!addressesOneTerminal(iMachineNo)) throw detail::Fault(detail::FaultKind::overflow);

  // The weekday is the host's, never derived from the date: its digit in the high half.
  const Command command = dateCommand(iMachineNo, iDate.year, iDate.month, iDate.day, [&] {
    return automation::toByte(int32_t{leadingDigit(iFirstWeek)} * 16);
  });
  return runCommand(line, command) == serial::Ending::Success;
}

bool SetMacTime(serial::LineState& line, const int16_t& iMachineNo, const std::string& iPara) {
  // A text that does not read as a time would set the terminal's clock to midnight.
  const auto time = automation::parseDateTime(iPara);
  if (!time) return false;
  if (!addressesOneTerminal(iMachineNo)) return false;

  const Command command = timeCommand(iMachineNo, time->hour, time->minute, time->second);
  return runCommand(line, command) == serial::Ending::Success;
}

Result<void> setDate(serial::LineState& line, MachineNumber machine, Date date,
                     WeekdayNumber weekday) {
  const std::chrono::year_month_day day = date.value();
  const Command command =
      dateCommand(machine.value(), static_cast<int>(day.year()),
                  static_cast<int>(unsigned(day.month())), static_cast<int>(unsigned(day.day())),
                  [&] { return static_cast<uint8_t>(weekday.value() * 16); });
  return acknowledgement(line, machine, runCommand(line, command));
}

Result<void> setTime(serial::LineState& line, MachineNumber machine, TimeOfDay time) {
  const Command command = timeCommand(machine.value(), time.hour(), time.minute(), time.second());
  return acknowledgement(line, machine, runCommand(line, command));
}

}  // namespace solvard::prohibit
