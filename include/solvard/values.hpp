#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

#include "solvard/export.hpp"
#include "solvard/result.hpp"

namespace solvard {

// Values are checked when they are made: a value that exists can be sent. Each has a `make`
// that refuses what a terminal cannot be sent (Errc::invalid_value, saying why).

// The one-byte address of a terminal on its line, 0 to 255.
class SOLVARD_API MachineNumber {
 public:
  static Result<MachineNumber> make(int number);
  uint8_t value() const { return value_; }
  friend bool operator==(MachineNumber, MachineNumber) = default;

 private:
  explicit MachineNumber(uint8_t value) : value_(value) {}
  uint8_t value_;
};

// A card as the terminals store it: exactly ten decimal digits ("0000012345").
class SOLVARD_API CardNumber {
 public:
  // Ten digits exactly; "12345" is refused (use the number form to pad).
  static Result<CardNumber> make(std::string_view digits);
  // 0 to 9 999 999 999, padded with zeros on the left.
  static Result<CardNumber> make(uint64_t number);
  const std::string& digits() const { return digits_; }
  friend bool operator==(const CardNumber&, const CardNumber&) = default;

 private:
  explicit CardNumber(std::string digits) : digits_(std::move(digits)) {}
  std::string digits_;
};

// The six-digit numbers of the attendance terminals: the card an attendance record names, a
// card to delete, a flow number.
class SOLVARD_API ShortCardNumber {
 public:
  static Result<ShortCardNumber> make(std::string_view digits);
  static Result<ShortCardNumber> make(uint32_t number);  // 0 to 999 999
  const std::string& digits() const { return digits_; }
  friend bool operator==(const ShortCardNumber&, const ShortCardNumber&) = default;

 private:
  explicit ShortCardNumber(std::string digits) : digits_(std::move(digits)) {}
  std::string digits_;
};

// A time of day to the second.
class SOLVARD_API TimeOfDay {
 public:
  static Result<TimeOfDay> make(int hour, int minute, int second = 0);
  int hour() const { return hour_; }
  int minute() const { return minute_; }
  int second() const { return second_; }
  friend bool operator==(TimeOfDay, TimeOfDay) = default;

 private:
  TimeOfDay(int hour, int minute, int second) : hour_(hour), minute_(minute), second_(second) {}
  int hour_, minute_, second_;
};

// A calendar day the terminals can hold: a valid date in the years 2000 to 2099 (they keep
// the year as two digits).
class SOLVARD_API Date {
 public:
  static Result<Date> make(std::chrono::year_month_day day);
  static Result<Date> make(int year, unsigned month, unsigned day);
  std::chrono::year_month_day value() const { return value_; }
  friend bool operator==(Date, Date) = default;

 private:
  explicit Date(std::chrono::year_month_day value) : value_(value) {}
  std::chrono::year_month_day value_;
};

// A weekday as an access-control terminal numbers it: one digit, 0 to 9. Which number stands
// for which day is the terminal's own; `iso` gives Monday 1 to Sunday 7, the numbering most
// installations set up.
class SOLVARD_API WeekdayNumber {
 public:
  static Result<WeekdayNumber> make(int digit);
  static WeekdayNumber iso(std::chrono::weekday day) {
    return WeekdayNumber(static_cast<uint8_t>(day.iso_encoding()));
  }
  uint8_t value() const { return value_; }
  friend bool operator==(WeekdayNumber, WeekdayNumber) = default;

 private:
  explicit WeekdayNumber(uint8_t value) : value_(value) {}
  uint8_t value_;
};

// When a card on an access-control terminal's open list may open the door: from the first to
// the last day, daily between two times (hour and minute), on the weekdays from the first to
// the last number.
class SOLVARD_API CardPermit {
 public:
  // Refused: a last day before the first one.
  static Result<CardPermit> make(Date firstDay, Date lastDay, TimeOfDay dailyFrom,
                                 TimeOfDay dailyUntil, WeekdayNumber firstWeekday,
                                 WeekdayNumber lastWeekday);
  Date firstDay() const { return firstDay_; }
  Date lastDay() const { return lastDay_; }
  TimeOfDay dailyFrom() const { return dailyFrom_; }
  TimeOfDay dailyUntil() const { return dailyUntil_; }
  WeekdayNumber firstWeekday() const { return firstWeekday_; }
  WeekdayNumber lastWeekday() const { return lastWeekday_; }

 private:
  CardPermit(Date firstDay, Date lastDay, TimeOfDay from, TimeOfDay until, WeekdayNumber first,
             WeekdayNumber last)
      : firstDay_(firstDay),
        lastDay_(lastDay),
        dailyFrom_(from),
        dailyUntil_(until),
        firstWeekday_(first),
        lastWeekday_(last) {}
  Date firstDay_, lastDay_;
  TimeOfDay dailyFrom_, dailyUntil_;
  WeekdayNumber firstWeekday_, lastWeekday_;
};

}  // namespace solvard
