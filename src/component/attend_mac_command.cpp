#include "component/attend_mac_command.hpp"

#include <string>

#include "component/attend_mac_values.hpp"

namespace solvard::attend {
namespace {

using automation::Variant;
using serial::Bytes;

// What the host gave must reach the terminal as given: a command whose values would put other
// digits or another time on the line is not sent at all.
bool valuesFit(MacFunction function, const std::optional<Variant>& first,
               const std::optional<Variant>& second) {
  switch (function) {
    case MacFunction::DeleteCard: return first && namesDigits(*first, 6);
    case MacFunction::SetFlowNo:
      return first && second && namesDigits(*first, 6) && namesDigits(*second, 10);
    case MacFunction::SetTime: return first && timeOfDay(*first).has_value();
    default: return true;
  }
}

// The values the frame carries; none for a function the terminal does not know or a date that
// is none.
std::optional<Bytes> frameValues(MacFunction function, const std::optional<Variant>& first,
                                 const std::optional<Variant>& second) {
  const auto textOf = [](const std::optional<Variant>& value) {
    return value ? automation::toText(*value) : std::string();
  };
  switch (function) {
    case MacFunction::ClearRecords:
    case MacFunction::ClearCardList: return Bytes{};
    case MacFunction::DeleteCard: return cardValues(textOf(first));
    case MacFunction::SetFlowNo: return flowValues(textOf(first), textOf(second));
    case MacFunction::SetTime: {
      // Checked before the padding; a value the padding spoils is sent as zeros, as it always was.
      const std::optional<automation::DateTime> time = timeOfDay(first.value_or(Variant()));
      if (!time) return Bytes(3, 0);
      return clockValues(time->hour, time->minute, time->second);
    }
    case MacFunction::SetDate: {
      if (!(first && automation::isDate(*first))) return std::nullopt;
      const automation::DateTime date = automation::toDate(*first);
      return clockValues(date.year % 100, date.month, date.day);
    }
  }
  return std::nullopt;
}

}  // namespace

int32_t SendMacCommand(serial::LineState& line, const serial::PortSetup& objectPort,
                       int16_t machineNo, MacFunction function, std::optional<Variant> first,
                       std::optional<Variant> second) {
  // Judged as the host gave them, since the padding would round a fraction to another number.
  if (!addressesOneTerminal(machineNo) || !valuesFit(function, first, second)) return 0;
  if (first) first = padded(*first, "000000");
  if (second) second = padded(*second, "0000000000");
  const auto machine = static_cast<uint8_t>(machineNo);
  const std::optional<Bytes> values = frameValues(function, first, second);
  return sendMacFrame(line, objectPort, machine,
                      values ? std::optional(macFrame(machine, function, *values)) : std::nullopt);
}

}  // namespace solvard::attend
