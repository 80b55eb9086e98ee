#include "door_values.hpp"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <ctime>

#include "prohibit/card_number.hpp"

namespace solvard::tool {

bool readCardOption(const std::string& text, std::string& card, std::string& problem) {
  card = prohibit::normaliseCardNumber(text);
  if (prohibit::isTenDigitCard(card)) return true;
  problem = "--card takes a card number of up to ten decimal digits, not \"" + text + "\"";
  return false;
}

bool readDateOption(const std::string& option, const std::string& text, automation::DateTime& date,
                    std::string& problem) {
  const auto value = automation::parseDateTime(text);
  if (value && !automation::textHasTime(text) && text.find(':') == std::string::npos) {
    date = *value;
    return true;
  }
  problem = option + " takes a date such as 2001-06-29, not \"" + text + "\"";
  return false;
}

bool readTimeOption(const std::string& option, const std::string& text, automation::DateTime& time,
                    std::string& problem) {
  const auto value = automation::parseDateTime(text);
  if (value && automation::textHasTime(text) && text.find_first_of("-/.") == std::string::npos) {
    time = *value;
    return true;
  }
  problem = option + " takes a time of day such as 08:30 or 13:05:09, not \"" + text + "\"";
  return false;
}

bool readWeekdayOption(const std::string& option, const std::string& text, int16_t& weekday,
                       std::string& problem) {
  if (text.size() == 1 && text[0] >= '0' && text[0] <= '9') {
    weekday = static_cast<int16_t>(text[0] - '0');
    return true;
  }
  problem = option + " takes one weekday digit 0 to 9, not \"" + text + "\"";
  return false;
}

bool readWeekdaysOption(const std::string& text, int16_t& start, int16_t& end,
                        std::string& problem) {
  const std::size_t dash = text.find('-');
  const std::string first = text.substr(0, dash);
  const std::string last = dash == std::string::npos ? first : text.substr(dash + 1);
  if (readWeekdayOption("--weekdays", first, start, problem) &&
      readWeekdayOption("--weekdays", last, end, problem)) {
    return true;
  }
  problem = "--weekdays takes the first and last weekday digit, such as 1-5, not \"" + text + "\"";
  return false;
}

bool readNumberOption(const std::string& option, const std::string& text, int16_t& value,
                      std::string& problem) {
  int number = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (ec == std::errc() && end == text.data() + text.size() && number >= -32768 &&
      number <= 32767) {
    value = static_cast<int16_t>(number);
    return true;
  }
  problem = option + " takes a whole number, not \"" + text + "\"";
  return false;
}

int16_t mondayFirstWeekday(const automation::DateTime& date) {
  const std::chrono::year_month_day day{std::chrono::year(date.year),
                                        std::chrono::month(static_cast<unsigned>(date.month)),
                                        std::chrono::day(static_cast<unsigned>(date.day))};
  return static_cast<int16_t>(std::chrono::weekday(std::chrono::sys_days(day)).iso_encoding());
}

automation::DateTime localNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
          local.tm_hour,        local.tm_min,     std::min(local.tm_sec, 59)};  // no leap second
}

}  // namespace solvard::tool
