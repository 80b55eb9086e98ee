#include "ui/label_measure.hpp"

#include <gtest/gtest.h>

#include <string>

namespace solvard::ui {
namespace {

std::string repeat(const std::string& piece, int times) {
  std::string text;
  for (int i = 0; i < times; ++i) text += piece;
  return text;
}

TEST(LabelMeasure, LinesAtTheDesignFont) {
  // Label1's width at 8 pt: 2880 twips of 80-twip cells, 36 to a line.
  const std::string wide = "\xE7\xBB\x88";  // a CJK ideograph, two cells
  const std::pair<std::string, int32_t> cases[] = {
      {"", 1},
      {std::string(36, 'a'), 1},
      {std::string(37, 'a'), 2},
      {"ab " + std::string(73, 'a'), 4},
      {repeat("abcdefgh ", 4) + "     ", 1},
      {repeat("abcdefgh ", 5), 2},
      {"a\nb\r\nc\rd", 4},
      {"a\n", 2},
      {std::string(40, 'a') + "\nb", 3},
      {repeat(wide, 18), 1},
      {repeat(wide, 19), 2},
      {std::string(35, 'a') + wide, 2},
  };
  for (const auto& [text, lines] : cases) {
    EXPECT_EQ(countLines(text, 2880, 8), lines) << text;
  }
}

TEST(LabelMeasure, SizesFollowTheFont) {
  EXPECT_EQ(lineHeightTwips(8.5), 204);
  EXPECT_EQ(charWidthTwips(8.5), 85);
  // At 12 pt a line holds 24 characters and is 288 twips high.
  EXPECT_EQ(labelHeightTwips(std::string(24, 'a'), 2880, 12), 288);
  EXPECT_EQ(labelHeightTwips(std::string(25, 'a'), 2880, 12), 576);
  // A label narrower than one character still holds one per line.
  EXPECT_EQ(countLines("abc", 10, 8), 3);
}

}  // namespace
}  // namespace solvard::ui
