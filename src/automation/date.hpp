#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace solvard::automation {

// A calendar date with a time of day, as an automation date carries it.
// Fields are not range-checked by the type; `isValid` tells a real date.
struct DateTime {
  int year = 1899;
  int month = 12;
  int day = 30;
  int hour = 0;
  int minute = 0;
  int second = 0;

  // A real calendar date within the years an automation date holds (100 to 9999) and a time of
  // day within 00:00:00 to 23:59:59.
  bool isValid() const;
  // Days since 1899-12-30 with the time of day as the fraction (the automation date number).
  // Before that day the time still counts forward from the start of the day, so 1899-12-29 06:00
  // is -1.25, not -0.75.
  double toSerial() const;
  // The inverse of toSerial, rounded to the nearest second. A number no date can stand for
  // (not finite, or far outside the years 100 to 9999) gives a DateTime that is not valid.
  static DateTime fromSerial(double serial);

  friend bool operator==(const DateTime&, const DateTime&) = default;
};

// Text to date and time. Accepted: a year-first date `yyyy-M-d` with '-', '/' or '.' between the
// parts, optionally followed by a space and a time; or a time alone, `H:m` or `H:m:s` (24-hour,
// one digit or two in each field).
// A two-digit year means 2000 + year. Anything else gives no value.
// Blanks around the text are allowed, and more than one blank between the date and the time.
// A four-digit year is taken as written, so it must lie in 100 to 9999; a time alone falls on
// 1899-12-30, a date alone at 00:00:00.
std::optional<DateTime> parseDateTime(std::string_view text);

// True when the text holds a time of day (alone or after a date).
bool textHasTime(std::string_view text);

// The date as "yyyy-MM-dd" and the time of day as "HH:mm:ss" (24-hour), zero-padded.
std::string dateText(const DateTime& value);
std::string timeText(const DateTime& value);

}  // namespace solvard::automation
