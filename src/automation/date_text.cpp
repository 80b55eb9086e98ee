#include <cstdio>

#include "automation/date.hpp"
#include "automation/number_text.hpp"

namespace solvard::automation {

namespace {

// Reads the texts hosts write for dates and times: the date year first, so that a terminal's
// record date and a host's own date read the same whatever the machine's regional settings.
class DateTimeReader {
 public:
  explicit DateTimeReader(std::string_view text) : text_(trimBlanks(text)) {}

  std::optional<DateTime> read() {
    DateTime value;
    const size_t start = pos_;
    const bool timeFirst = digitRun(1, 2).has_value() && peek() == ':';
    pos_ = start;
    if (timeFirst) {
      return readTime(value) && atEnd() ? std::optional(value) : std::nullopt;
    }
    if (!readDate(value)) return std::nullopt;
    if (atEnd()) return value;
    if (!skipBlanks() || !readTime(value) || !atEnd()) return std::nullopt;
    return value;
  }

  bool sawTime() const { return sawTime_; }

 private:
  bool readDate(DateTime& value) {
    const size_t start = pos_;
    const auto year = digitRun(2, 4);
    const size_t yearLength = pos_ - start;
    if (!year || yearLength == 3) return false;
    const char separator = peek();
    if (separator != '-' && separator != '/' && separator != '.') return false;
    ++pos_;
    const auto month = digitRun(1, 2);
    if (!month || peek() != separator) return false;
    ++pos_;
    const auto day = digitRun(1, 2);
    if (!day) return false;
    value.year = yearLength == 2 ? 2000 + *year : *year;
    value.month = *month;
    value.day = *day;
    return value.isValid();
  }

  // Each field of a time takes one digit or two, as a host writes it when it joins the numbers
  // (hour & ":" & minute gives "8:5"): every field, not only the hour.
  bool readTime(DateTime& value) {
    const auto hour = digitRun(1, 2);
    if (!hour || *hour > 23 || peek() != ':') return false;
    ++pos_;
    const auto minute = digitRun(1, 2);
    if (!minute || *minute > 59) return false;
    int second = 0;
    if (peek() == ':') {
      ++pos_;
      const auto digits = digitRun(1, 2);
      if (!digits || *digits > 59) return false;
      second = *digits;
    }
    value.hour = *hour;
    value.minute = *minute;
    value.second = second;
    sawTime_ = true;
    return true;
  }

  // A whole run of digits (not a prefix of a longer one) of a length within the bounds.
  std::optional<int> digitRun(size_t minLength, size_t maxLength) {
    const size_t start = pos_;
    int number = 0;
    while (pos_ < text_.size() && isDigit(text_[pos_])) {
      if (pos_ - start == maxLength) return std::nullopt;
      number = number * 10 + (text_[pos_] - '0');
      ++pos_;
    }
    if (pos_ - start < minLength) return std::nullopt;
    return number;
  }

  bool skipBlanks() {
    const size_t start = pos_;
    while (pos_ < text_.size() && isBlank(text_[pos_])) ++pos_;
    return pos_ > start;
  }

  char peek() const { return pos_ < text_.size() ? text_[pos_] : '\0'; }
  bool atEnd() const { return pos_ == text_.size(); }
  static bool isDigit(char c) { return c >= '0' && c <= '9'; }

  std::string_view text_;
  size_t pos_ = 0;
  bool sawTime_ = false;
};

}  // namespace

std::optional<DateTime> parseDateTime(std::string_view text) { return DateTimeReader(text).read(); }

bool textHasTime(std::string_view text) {
  DateTimeReader reader(text);
  return reader.read().has_value() && reader.sawTime();
}

std::string dateText(const DateTime& value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", value.year, value.month, value.day);
  return buffer;
}

std::string timeText(const DateTime& value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d", value.hour, value.minute, value.second);
  return buffer;
}

}  // namespace solvard::automation
