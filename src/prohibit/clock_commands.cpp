#include "prohibit/clock_commands.hpp"

#include "prohibit/command_exchange.hpp"
#include "prohibit/field_bytes.hpp"
#include "serial/line_errors.hpp"

namespace solvard::prohibit {
namespace {

constexpr uint8_t kDateFollowing = 4;
constexpr uint8_t kTimeFollowing = 3;

}  // namespace

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

namespace {

Result<void> acknowledgement(const serial::LineState& line, MachineNumber machine,
                             serial::Ending ending) {
  return serial::exchangeResult(line, ending, machine.value(), "acknowledgement");
}

}  // namespace

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
