#include "automation/date.hpp"

#include <cmath>
#include <cstdint>

namespace solvard::automation {

namespace {

constexpr int64_t kSecondsPerDay = 86400;

bool isLeapYear(int64_t year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int daysInMonth(int64_t year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && isLeapYear(year) ? 29 : kDays[month - 1];
}

// Day count on the proleptic Gregorian calendar, counted in years that start on 1 March so that
// the leap day falls at the end of a year; 0 is 1970-01-01.
int64_t daysFromCivil(int64_t year, int64_t month, int64_t day) {
  year -= month <= 2 ? 1 : 0;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t yearOfEra = year - era * 400;
  const int64_t dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

void civilFromDays(int64_t days, DateTime& out) {
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const int64_t dayOfEra = days - era * 146097;
  const int64_t yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int64_t shiftedMonth = (5 * dayOfYear + 2) / 153;
  out.day = static_cast<int>(dayOfYear - (153 * shiftedMonth + 2) / 5 + 1);
  out.month = static_cast<int>(shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9);
  out.year = static_cast<int>(yearOfEra + era * 400 + (out.month <= 2 ? 1 : 0));
}

const int64_t kEpoch = daysFromCivil(1899, 12, 30);

// Beyond this many days no calendar field fits an int; automation dates end far sooner.
constexpr double kSerialLimit = 1e9;

}  // namespace

bool DateTime::isValid() const {
  return year >= 100 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
         day <= daysInMonth(year, month) && hour >= 0 && hour <= 23 && minute >= 0 &&
         minute <= 59 && second >= 0 && second <= 59;
}

double DateTime::toSerial() const {
  const auto days = static_cast<double>(daysFromCivil(year, month, day) - kEpoch);
  const double time =
      static_cast<double>(hour * 3600 + minute * 60 + second) / static_cast<double>(kSecondsPerDay);
  return days < 0 ? days - time : days + time;
}

DateTime DateTime::fromSerial(double serial) {
  if (!std::isfinite(serial) || std::fabs(serial) > kSerialLimit) {
    return DateTime{0, 0, 0, 0, 0, 0};
  }
  const double whole = std::trunc(serial);
  auto days = static_cast<int64_t>(whole);
  auto seconds = static_cast<int64_t>(
      std::llround(std::fabs(serial - whole) * static_cast<double>(kSecondsPerDay)));
  if (seconds == kSecondsPerDay) {
    ++days;
    seconds = 0;
  }
  DateTime result;
  civilFromDays(days + kEpoch, result);
  result.hour = static_cast<int>(seconds / 3600);
  result.minute = static_cast<int>(seconds / 60 % 60);
  result.second = static_cast<int>(seconds % 60);
  return result;
}

}  // namespace solvard::automation
