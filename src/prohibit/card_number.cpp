#include "prohibit/card_number.hpp"

#include <algorithm>

#include "prohibit/field_bytes.hpp"
#include "serial/byte_value.hpp"

namespace solvard::prohibit {

bool isTenDigitCard(const std::string& card) {
  return card.size() == kCardDigits &&
         std::all_of(card.begin(), card.end(), [](char c) { return c >= '0' && c <= '9'; });
}

void packCardNumber(serial::Link& link, serial::Bytes& frame, std::size_t first,
                    const std::string& card) {
  for (std::size_t k = 0; k < kCardBytes; ++k) {
    link.step([&] {
      const int high = characterValue(card, 2 * k);
      const int low = characterValue(card, 2 * k + 1);
      frame[first + k] = serial::byteOf(static_cast<int32_t>(high * 16 + low));
    });
  }
}

}  // namespace solvard::prohibit
