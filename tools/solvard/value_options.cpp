#include "value_options.hpp"

#include <CLI/CLI.hpp>
#include <charconv>
#include <cstdio>

namespace solvard::tool {
namespace {

[[noreturn]] void refuse(const std::string& option, const std::string& why) {
  throw CLI::ValidationError(option, why);
}

bool digitsOnly(std::string_view text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

int number(std::string_view digits) {
  int value = 0;
  std::from_chars(digits.data(), digits.data() + digits.size(), value);
  return value;
}

std::string twoDigits(int value) {
  char text[8];
  std::snprintf(text, sizeof text, "%02d", value);
  return text;
}

}  // namespace

CardNumber readCard(const std::string& option, const std::string& text) {
  if (!digitsOnly(text) || text.size() > 10) {
    refuse(option, "takes up to ten decimal digits, not \"" + text + "\"");
  }
  return CardNumber::make(std::string(10 - text.size(), '0') + text).value();
}

ShortCardNumber readShortCard(const std::string& option, const std::string& text) {
  if (!digitsOnly(text) || text.size() > 6) {
    refuse(option, "takes up to six decimal digits, not \"" + text + "\"");
  }
  return ShortCardNumber::make(std::string(6 - text.size(), '0') + text).value();
}

Date readDate(const std::string& option, const std::string& text) {
  const std::string_view t(text);
  if (t.size() != 10 || t[4] != '-' || t[7] != '-' || !digitsOnly(t.substr(0, 4)) ||
      !digitsOnly(t.substr(5, 2)) || !digitsOnly(t.substr(8, 2))) {
    refuse(option, "takes a date as yyyy-MM-dd, not \"" + text + "\"");
  }
  auto date = Date::make(number(t.substr(0, 4)), static_cast<unsigned>(number(t.substr(5, 2))),
                         static_cast<unsigned>(number(t.substr(8, 2))));
  if (!date) refuse(option, "\"" + text + "\": " + date.error().detail());
  return *date;
}

TimeOfDay readTime(const std::string& option, const std::string& text) {
  const std::string_view t(text);
  const bool shortForm = t.size() == 5 && t[2] == ':';
  const bool longForm = t.size() == 8 && t[2] == ':' && t[5] == ':' && digitsOnly(t.substr(6, 2));
  if ((!shortForm && !longForm) || !digitsOnly(t.substr(0, 2)) || !digitsOnly(t.substr(3, 2))) {
    refuse(option, "takes a time of day as HH:mm or HH:mm:ss, not \"" + text + "\"");
  }
  auto time = TimeOfDay::make(number(t.substr(0, 2)), number(t.substr(3, 2)),
                              longForm ? number(t.substr(6, 2)) : 0);
  if (!time) refuse(option, "\"" + text + "\": " + time.error().detail());
  return *time;
}

WeekdayNumber readWeekday(const std::string& option, const std::string& text) {
  if (text.size() != 1 || !digitsOnly(text)) {
    refuse(option, "takes one weekday digit, 0 to 9, not \"" + text + "\"");
  }
  return WeekdayNumber::make(text[0] - '0').value();
}

std::pair<WeekdayNumber, WeekdayNumber> readWeekdays(const std::string& option,
                                                     const std::string& text) {
  const bool single = text.size() == 1;
  if (!(single || (text.size() == 3 && text[1] == '-')) || !digitsOnly(text.substr(0, 1)) ||
      !digitsOnly(text.substr(text.size() - 1))) {
    refuse(option, "takes the first and last weekday digits as S-E (1-5), not \"" + text + "\"");
  }
  const WeekdayNumber first = readWeekday(option, text.substr(0, 1));
  const WeekdayNumber last = readWeekday(option, text.substr(text.size() - 1));
  if (last.value() < first.value()) {
    refuse(option, "the weekday range " + text + " runs backwards: the first day comes first");
  }
  return {first, last};
}

std::string dateText(Date date) {
  const auto day = date.value();
  return std::to_string(static_cast<int>(day.year())) + "-" +
         twoDigits(static_cast<int>(unsigned(day.month()))) + "-" +
         twoDigits(static_cast<int>(unsigned(day.day())));
}

std::string timeText(TimeOfDay time, bool seconds) {
  return twoDigits(time.hour()) + ":" + twoDigits(time.minute()) +
         (seconds ? ":" + twoDigits(time.second()) : "");
}

std::chrono::local_seconds localNow() {
  const time_t now = time(nullptr);
  tm local{};
  localtime_r(&now, &local);
  using namespace std::chrono;
  const local_days day{year{local.tm_year + 1900} / (local.tm_mon + 1) / local.tm_mday};
  return local_seconds{day} + hours{local.tm_hour} + minutes{local.tm_min} + seconds{local.tm_sec};
}

}  // namespace solvard::tool
