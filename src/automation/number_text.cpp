#include "automation/number_text.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace solvard::automation {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

size_t skipDigits(std::string_view text, size_t pos) {
  while (pos < text.size() && isDigit(text[pos])) ++pos;
  return pos;
}

// The power of ten of the leading significant digit, for telling an overflow from an underflow
// when the parse reports the value out of range. Exponent digits saturate; any exponent beyond
// a few thousand is out of range in either direction anyway.
long long decimalMagnitude(std::string_view mantissa, std::string_view exponent) {
  long long exp = 0;
  size_t pos = 0;
  const bool negative = !exponent.empty() && exponent[0] == '-';
  if (!exponent.empty() && (exponent[0] == '-' || exponent[0] == '+')) pos = 1;
  for (; pos < exponent.size(); ++pos) {
    exp = std::min(exp * 10 + (exponent[pos] - '0'), 100000LL);
  }
  if (negative) exp = -exp;
  const size_t point = mantissa.find('.');
  const size_t intLength = point == std::string_view::npos ? mantissa.size() : point;
  const size_t firstSignificant = mantissa.find_first_of("123456789");
  if (firstSignificant < intLength) {
    return exp + static_cast<long long>(intLength - firstSignificant) - 1;
  }
  return exp - static_cast<long long>(firstSignificant - intLength);
}

}  // namespace

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trimBlanks(std::string_view text) {
  while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
  return text;
}

std::optional<double> readNumber(std::string_view text) {
  text = trimBlanks(text);
  bool negative = false;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  size_t pos = skipDigits(text, 0);
  size_t digitCount = pos;
  if (pos < text.size() && text[pos] == '.') {
    const size_t fractionEnd = skipDigits(text, pos + 1);
    digitCount += fractionEnd - pos - 1;
    pos = fractionEnd;
  }
  if (digitCount == 0) return std::nullopt;
  const std::string_view mantissa = text.substr(0, pos);
  std::string_view exponent;
  if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
    size_t expPos = pos + 1;
    if (expPos < text.size() && (text[expPos] == '+' || text[expPos] == '-')) ++expPos;
    const size_t expEnd = skipDigits(text, expPos);
    if (expEnd == expPos) return std::nullopt;
    exponent = text.substr(pos + 1, expEnd - pos - 1);
    pos = expEnd;
  }
  if (pos != text.size()) return std::nullopt;

  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + pos, value);
  if (error == std::errc::result_out_of_range) {
    value =
        decimalMagnitude(mantissa, exponent) > 0 ? std::numeric_limits<double>::infinity() : 0.0;
  } else if (error != std::errc() || end != text.data() + pos) {
    return std::nullopt;
  }
  return negative ? -value : value;
}

std::string numberText(double value) {
  if (value == 0) return "0";  // also for -0, which automation text never shows
  char buffer[128];
  const double magnitude = std::fabs(value);
  if (magnitude >= 1e-4 && magnitude < 1e15) {
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    return std::string(buffer, result.ptr);
  }
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
  std::string text(buffer, result.ptr);
  const size_t e = text.find('e');
  if (e == std::string::npos) return text;  // infinity or not a number
  // Automation writes at least two exponent digits: 1E+15, 1.5E-05.
  std::string out = text.substr(0, e);
  out += 'E';
  out += text[e + 1];
  if (text.size() - (e + 2) < 2) out += '0';
  out.append(text, e + 2, std::string::npos);
  return out;
}

}  // namespace solvard::automation
