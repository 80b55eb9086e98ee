#include "solvard/values.hpp"

#include <algorithm>
#include <cctype>

namespace solvard {
namespace {

bool allDigits(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; });
}

Error refused(std::string why) { return Error(Errc::invalid_value, std::move(why)); }

std::string padded(uint64_t number, std::size_t width) {
  std::string digits = std::to_string(number);
  return std::string(width - std::min(width, digits.size()), '0') + digits;
}

}  // namespace

Result<MachineNumber> MachineNumber::make(int number) {
  if (number < 0 || number > 255) {
    return refused("machine number " + std::to_string(number) + " is not 0 to 255");
  }
  return MachineNumber(static_cast<uint8_t>(number));
}

Result<CardNumber> CardNumber::make(std::string_view digits) {
  if (digits.size() != 10 || !allDigits(digits)) {
    return refused("card number \"" + std::string(digits) + "\" is not ten digits");
  }
  return CardNumber(std::string(digits));
}

Result<CardNumber> CardNumber::make(uint64_t number) {
  if (number > 9'999'999'999ULL) {
    return refused("card number " + std::to_string(number) + " has more than ten digits");
  }
  return CardNumber(padded(number, 10));
}

Result<ShortCardNumber> ShortCardNumber::make(std::string_view digits) {
  if (digits.size() != 6 || !allDigits(digits)) {
    return refused("number \"" + std::string(digits) + "\" is not six digits");
  }
  return ShortCardNumber(std::string(digits));
}

Result<ShortCardNumber> ShortCardNumber::make(uint32_t number) {
  if (number > 999'999) {
    return refused("number " + std::to_string(number) + " has more than six digits");
  }
  return ShortCardNumber(padded(number, 6));
}

Result<TimeOfDay> TimeOfDay::make(int hour, int minute, int second) {
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59) {
    return refused("time " + std::to_string(hour) + ":" + std::to_string(minute) + ":" +
                   std::to_string(second) + " is not a time of day");
  }
  return TimeOfDay(hour, minute, second);
}

Result<Date> Date::make(std::chrono::year_month_day day) {
  const int year = static_cast<int>(day.year());
  if (!day.ok()) {
    return refused(std::to_string(year) + "-" + std::to_string(unsigned(day.month())) + "-" +
                   std::to_string(unsigned(day.day())) + " is not a date");
  }
  if (year < 2000 || year > 2099) {
    return refused("year " + std::to_string(year) +
                   " is not 2000 to 2099 (the terminals keep two digits)");
  }
  return Date(day);
}

Result<Date> Date::make(int year, unsigned month, unsigned day) {
  return make(std::chrono::year_month_day{std::chrono::year{year}, std::chrono::month{month},
                                          std::chrono::day{day}});
}

Result<WeekdayNumber> WeekdayNumber::make(int digit) {
  if (digit < 0 || digit > 9) {
    return refused("weekday number " + std::to_string(digit) + " is not one digit");
  }
  return WeekdayNumber(static_cast<uint8_t>(digit));
}

Result<CardPermit> CardPermit::make(Date firstDay, Date lastDay, TimeOfDay dailyFrom,
                                    TimeOfDay dailyUntil, WeekdayNumber firstWeekday,
                                    WeekdayNumber lastWeekday) {
  if (lastDay.value() < firstDay.value()) return refused("the last day is before the first");
  return CardPermit(firstDay, lastDay, dailyFrom, dailyUntil, firstWeekday, lastWeekday);
}

}  // namespace solvard
