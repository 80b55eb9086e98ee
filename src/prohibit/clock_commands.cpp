#include "prohibit/clock_commands.hpp"

#include "automation/error.hpp"
#include "automation/variant.hpp"
#include "prohibit/command_exchange.hpp"
#include "prohibit/field_bytes.hpp"

namespace solvard::prohibit {
namespace {

constexpr uint8_t kDateFollowing = 4;
constexpr uint8_t kTimeFollowing = 3;

}  // namespace

bool SetMacDateAndWeek(serial::LineState& line, const int16_t& iMachineNo,
                       const automation::DateTime& iDate, const int16_t& iFirstWeek) {
  // The byte conversion of the machine number would raise this once the port is open; raising it
  // first keeps the port and the line untouched.
  if (!addressesOneTerminal(iMachineNo)) throw automation::errors::overflow();

  Command command(iMachineNo, CommandCode::DateAndWeek, 7);
  command.onStepFailure = OnStepFailure::Raise;
  command.payload = [&](serial::Link& link, serial::Bytes& frame) {
    link.step([&] { frame[2] = kDateFollowing; });
    link.step([&] { frame[3] = packedDecimal(iDate.year % 100); });
    link.step([&] { frame[4] = packedDecimal(iDate.month); });
    link.step([&] { frame[5] = packedDecimal(iDate.day); });
    // The weekday is the host's, never derived from the date: its digit in the high half.
    link.step([&] { frame[6] = automation::toByte(int32_t{leadingDigit(iFirstWeek)} * 16); });
  };
  return runCommand(line, command) == serial::Ending::Success;
}

bool SetMacTime(serial::LineState& line, const int16_t& iMachineNo, const std::string& iPara) {
  // A text that does not read as a time would set the terminal's clock to midnight.
  const auto time = automation::parseDateTime(iPara);
  if (!time) return false;
  if (!addressesOneTerminal(iMachineNo)) return false;

  Command command(iMachineNo, CommandCode::TimeOfDay, 6);
  command.payload = [&](serial::Link& link, serial::Bytes& frame) {
    link.step([&] { frame[2] = kTimeFollowing; });
    link.step([&] { frame[3] = packedDecimal(time->hour); });
    link.step([&] { frame[4] = packedDecimal(time->minute); });
    link.step([&] { frame[5] = packedDecimal(time->second); });
  };
  return runCommand(line, command) == serial::Ending::Success;
}

}  // namespace solvard::prohibit
