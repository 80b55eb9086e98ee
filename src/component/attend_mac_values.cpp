#include "component/attend_mac_values.hpp"

#include <algorithm>
#include <cmath>

#include "values/fault.hpp"

namespace solvard::attend {

using automation::Variant;

Variant padded(const Variant& value, std::string_view pattern) {
  if (automation::toText(value).size() >= pattern.size()) return value;
  return Variant(automation::format(value, pattern));
}

bool namesDigits(const Variant& value, std::size_t width) {
  const std::string text = automation::toText(value);
  if (text.size() < width && automation::isNumeric(value)) {
    // The padding rounds a fraction to a whole number: 12.5 would become card 000013.
    try {
      const double number = automation::toDouble(value);
      if (number != std::floor(number)) return false;
    } catch (const detail::Fault&) {
      return false;  // too large for any number of `width` digits
    }
  }
  const std::string digits = automation::toText(padded(value, std::string(width, '0')));
  return digits.size() == width &&
         std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::optional<automation::DateTime> timeOfDay(const Variant& value) {
  if (value.type() == automation::VarType::Date) {
    const automation::DateTime date = value.get<automation::DateTime>();
    if (date.isValid()) return date;
    return std::nullopt;
  }
  if (value.type() != automation::VarType::Text) return std::nullopt;
  const std::string& text = value.get<std::string>();
  if (!automation::textHasTime(text)) return std::nullopt;
  return automation::parseDateTime(text);
}

}  // namespace solvard::attend
