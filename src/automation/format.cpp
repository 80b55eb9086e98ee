#include <charconv>
#include <cmath>
#include <optional>

#include "automation/error.hpp"
#include "automation/number_text.hpp"
#include "automation/variant.hpp"

namespace solvard::automation {

namespace {

// The date a value stands for when a date pattern is applied; text that is no date and a
// number beyond the date range have none and come back as they are.
std::optional<DateTime> dateOf(const Variant& v) {
  switch (v.type()) {
    case VarType::Empty: return std::nullopt;
    case VarType::Date: return v.get<DateTime>();
    case VarType::Text: return parseDateTime(v.get<std::string>());
    default: {
      const DateTime date = DateTime::fromSerial(toDouble(v));
      return date.isValid() ? std::optional(date) : std::nullopt;
    }
  }
}

std::string withDate(const Variant& v, std::string (*write)(const DateTime&)) {
  const auto date = dateOf(v);
  return date ? write(*date) : toText(v);
}

bool isZeroPadding(std::string_view pattern) {
  return !pattern.empty() && pattern.find_first_not_of('0') == std::string_view::npos;
}

std::optional<double> numberOf(const Variant& v) {
  switch (v.type()) {
    case VarType::Empty: return std::nullopt;
    case VarType::Text: {
      const auto number = readNumber(v.get<std::string>());
      return number && std::isfinite(*number) ? number : std::nullopt;
    }
    default: return toDouble(v);
  }
}

std::string zeroPadded(const Variant& v, size_t width) {
  const auto number = numberOf(v);
  if (!number || !std::isfinite(*number)) return toText(v);
  // Unlike the conversions to integers, the numeric patterns round a tie away from zero.
  const double whole = std::round(*number);
  char buffer[400];  // the digits of the largest double with no fraction
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, std::fabs(whole), std::chars_format::fixed, 0);
  std::string digits(buffer, result.ptr);
  if (digits.size() < width) digits.insert(0, width - digits.size(), '0');
  return whole < 0 ? "-" + digits : digits;
}

}  // namespace

std::string format(const Variant& v, std::string_view pattern) {
  if (pattern == "yyyy-MM-dd") return withDate(v, dateText);
  if (pattern == "hh:mm:ss" || pattern == "HH:mm:ss") return withDate(v, timeText);
  if (isZeroPadding(pattern)) return zeroPadded(v, pattern.size());
  throw errors::invalidCall();
}

}  // namespace solvard::automation
