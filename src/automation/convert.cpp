#include <cmath>
#include <limits>

#include "automation/error.hpp"
#include "automation/number_text.hpp"
#include "automation/variant.hpp"

namespace solvard::automation {

namespace {

// Automation rounds to the even neighbour on a tie (banker's rounding), so that 2.5 gives 2 and
// 3.5 gives 4; this does not depend on the floating-point rounding mode of the host.
double roundHalfEven(double x) {
  const double down = std::floor(x);
  const double rest = x - down;
  if (rest < 0.5) return down;
  if (rest > 0.5) return down + 1;
  return std::fmod(down, 2.0) == 0 ? down : down + 1;
}

template <typename T>
T toWhole(const Variant& v, double low, double high) {
  const double rounded = roundHalfEven(toDouble(v));
  if (!(rounded >= low && rounded <= high)) throw errors::overflow();
  return static_cast<T>(rounded);
}

template <typename T>
T toWhole(const Variant& v) {
  return toWhole<T>(v, std::numeric_limits<T>::min(), std::numeric_limits<T>::max());
}

bool equalsIgnoringCase(std::string_view text, std::string_view word) {
  if (text.size() != word.size()) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c =
        text[i] >= 'A' && text[i] <= 'Z' ? static_cast<char>(text[i] - 'A' + 'a') : text[i];
    if (c != word[i]) return false;
  }
  return true;
}

}  // namespace

double toDouble(const Variant& v) {
  switch (v.type()) {
    case VarType::Empty: return 0;
    case VarType::Int16: return v.get<int16_t>();
    case VarType::Int32: return v.get<int32_t>();
    case VarType::Double: return v.get<double>();
    case VarType::Bool: return v.get<bool>() ? kTrue : kFalse;
    case VarType::Text: {
      const auto number = readNumber(v.get<std::string>());
      if (!number) throw errors::typeMismatch();
      if (std::isinf(*number)) throw errors::overflow();
      return *number;
    }
    case VarType::Date: return v.get<DateTime>().toSerial();
  }
  throw errors::typeMismatch();
}

int16_t toInt16(const Variant& v) { return toWhole<int16_t>(v); }

int32_t toInt32(const Variant& v) { return toWhole<int32_t>(v); }

uint8_t toByte(const Variant& v) { return toWhole<uint8_t>(v, 0, 255); }

bool toBool(const Variant& v) {
  if (v.type() == VarType::Bool) return v.get<bool>();
  if (v.type() == VarType::Text) {
    const std::string_view text = trimBlanks(v.get<std::string>());
    if (equalsIgnoringCase(text, "true")) return true;
    if (equalsIgnoringCase(text, "false")) return false;
  }
  return toDouble(v) != 0;
}

std::string toText(const Variant& v) {
  switch (v.type()) {
    case VarType::Empty: return {};
    case VarType::Int16: return std::to_string(v.get<int16_t>());
    case VarType::Int32: return std::to_string(v.get<int32_t>());
    case VarType::Double: return numberText(v.get<double>());
    case VarType::Bool: return v.get<bool>() ? "True" : "False";
    case VarType::Text: return v.get<std::string>();
    case VarType::Date: {
      // The fields a value carries are the ones shown, as automation shows a date: a time on the
      // day the date count starts is a time alone, midnight of any other day a date alone.
      const DateTime& date = v.get<DateTime>();
      const bool timeOnly = date.year == 1899 && date.month == 12 && date.day == 30;
      const bool midnight = date.hour == 0 && date.minute == 0 && date.second == 0;
      if (timeOnly) return timeText(date);
      if (midnight) return dateText(date);
      return dateText(date) + " " + timeText(date);
    }
  }
  return {};
}

DateTime toDate(const Variant& v) {
  if (v.type() == VarType::Date) return v.get<DateTime>();
  if (v.type() == VarType::Text) {
    const auto date = parseDateTime(v.get<std::string>());
    if (!date) throw errors::typeMismatch();
    return *date;
  }
  const DateTime date = DateTime::fromSerial(toDouble(v));
  if (!date.isValid()) throw errors::overflow();
  return date;
}

bool isNumeric(const Variant& v) {
  switch (v.type()) {
    case VarType::Text: {
      const auto number = readNumber(v.get<std::string>());
      return number && std::isfinite(*number);
    }
    case VarType::Date: return false;
    default: return true;
  }
}

bool isDate(const Variant& v) {
  if (v.type() == VarType::Date) return true;
  return v.type() == VarType::Text && parseDateTime(v.get<std::string>()).has_value();
}

}  // namespace solvard::automation
