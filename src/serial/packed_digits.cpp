#include "serial/packed_digits.hpp"

#include "values/fault.hpp"

namespace solvard::serial {
namespace {

int digitValue(char c) {
  if (c < '0' || c > '9') throw detail::Fault(detail::FaultKind::type_mismatch);
  return c - '0';
}

}  // namespace

uint8_t digitPair(char high, char low) {
  return static_cast<uint8_t>(digitValue(high) * 16 + digitValue(low));
}

uint8_t digitPairAt(std::string_view text, std::size_t at) {
  if (at + 1 >= text.size()) throw detail::Fault(detail::FaultKind::invalid_argument);
  return digitPair(text[at], text[at + 1]);
}

uint8_t twoDigitNumber(int value) {
  if (value < 0 || value > 99) throw detail::Fault(detail::FaultKind::overflow);
  return static_cast<uint8_t>(value / 10 * 16 + value % 10);
}

int twoDigitValue(uint8_t byte) { return byte / 16 * 10 + byte % 16; }

std::string twoDigitText(uint8_t byte) {
  const int value = twoDigitValue(byte);
  return value <= 9 ? "0" + std::to_string(value) : std::to_string(value);
}

}  // namespace solvard::serial
