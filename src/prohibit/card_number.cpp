#include "prohibit/card_number.hpp"

#include <algorithm>

#include "automation/variant.hpp"
#include "prohibit/field_bytes.hpp"

namespace solvard::prohibit {

std::string normaliseCardNumber(const std::string& text) {
  return automation::format(text, "0000000000");
}

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
      frame[first + k] = automation::toByte(static_cast<int32_t>(high * 16 + low));
    });
  }
}

}  // namespace solvard::prohibit
