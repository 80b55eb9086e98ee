#include "prohibit/open_list.hpp"

#include "prohibit/card_number.hpp"
#include "prohibit/command_exchange.hpp"
#include "prohibit/field_bytes.hpp"
#include "serial/line_errors.hpp"

namespace solvard::prohibit {
namespace {

constexpr uint8_t kEntryFollowing = 16;
constexpr uint8_t kDeleteFollowing = 5;
constexpr std::size_t kCardByte = 3;

}  // namespace

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

namespace {

Result<void> acknowledgement(const serial::LineState& line, MachineNumber machine,
                             serial::Ending ending) {
  return serial::exchangeResult(line, ending, machine.value(), "acknowledgement");
}

}  // namespace

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
