#include "prohibit/field_bytes.hpp"

#include <string>

#include "automation/variant.hpp"

namespace solvard::prohibit {

uint8_t packedDecimal(int value) {
  return automation::toByte(static_cast<int32_t>(value / 10 * 16 + value % 10));
}

int16_t characterValue(std::string_view text, std::size_t position) {
  const std::string character(position < text.size() ? text.substr(position, 1) : "");
  return automation::toInt16(character);
}

int16_t leadingDigit(int16_t number) { return characterValue(std::to_string(number), 0); }

}  // namespace solvard::prohibit
