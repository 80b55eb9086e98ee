#include "component/prohibit_clock.hpp"

#include "automation/variant.hpp"
#include "prohibit/clock_commands.hpp"
#include "prohibit/field_bytes.hpp"
#include "values/fault.hpp"

namespace solvard::prohibit {

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

}  // namespace solvard::prohibit
