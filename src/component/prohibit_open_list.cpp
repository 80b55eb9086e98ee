#include "component/prohibit_open_list.hpp"

#include <optional>

#include "automation/date.hpp"
#include "automation/variant.hpp"
#include "prohibit/card_number.hpp"
#include "prohibit/field_bytes.hpp"
#include "prohibit/open_list.hpp"

namespace solvard::prohibit {
namespace {

// A day of validity: the text must hold a date. A time alone would fall on the epoch day and
// put a window on the line that no host meant.
std::optional<automation::DateTime> validityDay(const std::string& text) {
  if (text.find_first_of("-/.") == std::string::npos) return std::nullopt;
  return automation::parseDateTime(text);
}

// An end of the daily window. Empty means midnight; other text must read as a time (a date
// alone gives midnight), since sending 00:00 for a text that does not would widen the window.
std::optional<automation::DateTime> windowTime(const std::string& text) {
  if (text.empty()) return automation::DateTime{};
  return automation::parseDateTime(text);
}

}  // namespace

std::string normaliseCardNumber(const std::string& text) {
  return automation::format(text, "0000000000");
}

bool SetOpenList(serial::LineState& line, int16_t MachineNo, std::string& iCardNo,
                 const std::string& iFirstYear, const std::string& iLastYear,
                 const std::string& iFirstTime, const std::string& iLastTime, int16_t iStartWeek,
                 int16_t iEndWeek) {
  iCardNo = normaliseCardNumber(iCardNo);
  const auto firstDay = validityDay(iFirstYear);
  const auto lastDay = validityDay(iLastYear);
  if (!firstDay || !lastDay) return false;
  const auto firstTime = windowTime(iFirstTime);
  const auto lastTime = windowTime(iLastTime);
  if (!firstTime || !lastTime) return false;
  if (!isTenDigitCard(iCardNo) || !addressesOneTerminal(MachineNo)) return false;

  const Window window =
      windowOf(firstDay->year, firstDay->month, firstDay->day, lastDay->year, lastDay->month,
               lastDay->day, firstTime->hour, firstTime->minute, lastTime->hour, lastTime->minute);
  const Command command = entryCommand(MachineNo, iCardNo, window, [&] {
    return automation::toByte(int32_t{leadingDigit(iStartWeek)} * 16 +
                              int32_t{leadingDigit(iEndWeek)});
  });
  return runCommand(line, command) == serial::Ending::Success;
}

bool DeleteLockList(serial::LineState& line, int16_t MachineNo, std::string& iCardNo) {
  iCardNo = normaliseCardNumber(iCardNo);
  if (!isTenDigitCard(iCardNo) || !addressesOneTerminal(MachineNo)) return false;

  const Command command = deleteCommand(MachineNo, iCardNo);
  return runCommand(line, command) == serial::Ending::Success;
}

}  // namespace solvard::prohibit
