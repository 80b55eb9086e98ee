#include "serial/packed_digits.hpp"

#include <gtest/gtest.h>

namespace solvard::serial {
namespace {

TEST(PackedDigits, ValueTakesEachHalfAsItComes) {
  const struct {
    uint8_t byte;
    int value;
  } cases[] = {{0x00, 0}, {0x05, 5}, {0x29, 29}, {0x99, 99}, {0x0A, 10}, {0x1A, 20}, {0xFF, 165}};
  for (const auto& c : cases) EXPECT_EQ(twoDigitValue(c.byte), c.value) << int{c.byte};
}

TEST(PackedDigits, EveryNumberComesBackAsWritten) {
  for (int value = 0; value <= 99; ++value) {
    const uint8_t byte = twoDigitNumber(value);
    EXPECT_EQ(twoDigitValue(byte), value);
    const std::string text = (value < 10 ? "0" : "") + std::to_string(value);
    EXPECT_EQ(twoDigitText(byte), text);
    EXPECT_EQ(digitPair(text[0], text[1]), byte);
  }
}

}  // namespace
}  // namespace solvard::serial
