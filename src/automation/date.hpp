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

  bool isValid() const;
  // Days since 1899-12-30 with the time of day as the fraction (the automation date number).
  double toSerial() const;
  static DateTime fromSerial(double serial);

  friend bool operator==(const DateTime&, const DateTime&) = default;
};

// Text to date and time. Accepted: a year-first date `yyyy-M-d` with '-', '/' or '.' between the
// parts, optionally followed by a space and a time; or a time alone, `H:mm` or `H:mm:ss` (24-hour).
// A two-digit year means 2000 + year. Anything else gives no value.
std::optional<DateTime> parseDateTime(std::string_view text);

// True when the text holds a time of day (alone or after a date).
bool textHasTime(std::string_view text);

}  // namespace solvard::automation
