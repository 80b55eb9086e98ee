#include "prohibit/open_list.hpp"

#include <array>
#include <functional>
#include <optional>

#include "automation/date.hpp"
#include "automation/variant.hpp"
#include "prohibit/card_number.hpp"
#include "prohibit/command_exchange.hpp"
#include "prohibit/field_bytes.hpp"
#include "serial/line_errors.hpp"

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

// The ten window bytes in the frame's order: each pair puts its end before its start (year,
// month, day, hour, minute); only the weekday byte that follows puts the start first.
using Window = std::array<int, 10>;

Window windowOf(int firstYear, int firstMonth, int firstDay, int lastYear, int lastMonth,
                int lastDay, int fromHour, int fromMinute, int untilHour, int untilMinute) {
  return {lastYear % 100, firstYear % 100, lastMonth, firstMonth,  lastDay,
          firstDay,       untilHour,       fromHour,  untilMinute, fromMinute};
}

// Code 4, frame of 19 bytes: [machine number, 4, 16, card (5), window (10), weekdays].
Command entryCommand(int16_t machineNo, std::string card, Window window,
                     std::function<uint8_t()> weekdayByte) {
  Command command(machineNo, CommandCode::OpenListEntry, 19);
  command.payload = [=](serial::Link& link, serial::Bytes& frame) {
    link.step([&] { frame[2] = kEntryFollowing; });
    packCardNumber(link, frame, kCardByte, card);
    std::size_t at = kCardByte + kCardBytes;
    for (const int value : window) {
      link.step([&] { frame[at] = packedDecimal(value); });
      ++at;
    }
    link.step([&] { frame[at] = weekdayByte(); });
  };
  return command;
}

// Code 5, frame of 8 bytes: [machine number, 5, 5, card (5)].
Command deleteCommand(int16_t machineNo, std::string card) {
  Command command(machineNo, CommandCode::OpenListDelete, 8);
  command.payload = [=](serial::Link& link, serial::Bytes& frame) {
    link.step([&] { frame[2] = kDeleteFollowing; });
    packCardNumber(link, frame, kCardByte, card);
  };
  return command;
}

Result<void> acknowledgement(const serial::LineState& line, MachineNumber machine,
                             serial::Ending ending) {
  return serial::exchangeResult(line, ending, machine.value(), "acknowledgement");
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

Result<void> allowCard(serial::LineState& line, MachineNumber machine, const CardNumber& card,
                       const CardPermit& permit) {
  const std::chrono::year_month_day first = permit.firstDay().value();
  const std::chrono::year_month_day last = permit.lastDay().value();
  const auto number = [](auto part) { return static_cast<int>(part); };
  const Window window =
      windowOf(number(first.year()), number(unsigned(first.month())), number(unsigned(first.day())),
               number(last.year()), number(unsigned(last.month())), number(unsigned(last.day())),
               permit.dailyFrom().hour(), permit.dailyFrom().minute(), permit.dailyUntil().hour(),
               permit.dailyUntil().minute());
  const Command command = entryCommand(machine.value(), card.digits(), window, [&] {
    return static_cast<uint8_t>(permit.firstWeekday().value() * 16 + permit.lastWeekday().value());
  });
  return acknowledgement(line, machine, runCommand(line, command));
}

Result<void> denyCard(serial::LineState& line, MachineNumber machine, const CardNumber& card) {
  return acknowledgement(line, machine,
                         runCommand(line, deleteCommand(machine.value(), card.digits())));
}

}  // namespace solvard::prohibit
