#include "prohibit/open_list.hpp"

#include <optional>

#include "automation/date.hpp"
#include "automation/variant.hpp"
#include "prohibit/card_number.hpp"
#include "prohibit/command_exchange.hpp"
#include "prohibit/field_bytes.hpp"

namespace solvard::prohibit {
namespace {

constexpr uint8_t kEntryFollowing = 16;
constexpr uint8_t kDeleteFollowing = 5;
constexpr std::size_t kCardByte = 3;

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

  // Each pair of the window puts its end before its start; only the weekday byte that follows
  // puts the start first.
  const int window[] = {lastDay->year % 100, firstDay->year % 100, lastDay->month, firstDay->month,
                        lastDay->day,        firstDay->day,        lastTime->hour, firstTime->hour,
                        lastTime->minute,    firstTime->minute};
  Command command(MachineNo, CommandCode::OpenListEntry, 19);
  command.payload = [&](serial::Link& link, serial::Bytes& frame) {
    link.step([&] { frame[2] = kEntryFollowing; });
    packCardNumber(link, frame, kCardByte, iCardNo);
    std::size_t at = kCardByte + kCardBytes;
    for (const int value : window) {
      link.step([&] { frame[at] = packedDecimal(value); });
      ++at;
    }
    link.step([&] {
      frame[at] = automation::toByte(int32_t{leadingDigit(iStartWeek)} * 16 +
                                     int32_t{leadingDigit(iEndWeek)});
    });
  };
  return runCommand(line, command) == serial::Ending::Success;
}

bool DeleteLockList(serial::LineState& line, int16_t MachineNo, std::string& iCardNo) {
  iCardNo = normaliseCardNumber(iCardNo);
  if (!isTenDigitCard(iCardNo) || !addressesOneTerminal(MachineNo)) return false;

  Command command(MachineNo, CommandCode::OpenListDelete, 8);
  command.payload = [&](serial::Link& link, serial::Bytes& frame) {
    link.step([&] { frame[2] = kDeleteFollowing; });
    packCardNumber(link, frame, kCardByte, iCardNo);
  };
  return runCommand(line, command) == serial::Ending::Success;
}

}  // namespace solvard::prohibit
