#include "prohibit/field_bytes.hpp"

#include <string>

#include "serial/byte_value.hpp"
#include "values/fault.hpp"

namespace solvard::prohibit {

uint8_t packedDecimal(int value) {
  return serial::byteOf(static_cast<int32_t>(value / 10 * 16 + value % 10));
}

int16_t characterValue(std::string_view text, std::size_t position) {
  const char character = position < text.size() ? text[position] : '\0';
  if (character < '0' || character > '9') throw detail::Fault(detail::FaultKind::type_mismatch);
  return static_cast<int16_t>(character - '0');
}

int16_t leadingDigit(int16_t number) { return characterValue(std::to_string(number), 0); }

}  // namespace solvard::prohibit
