// The UTF-8 / UTF-16 conversion at the Windows build's boundaries (ODBC, device names, COM
// strings). Plain code: this runs on Linux too.
#include "text/wide_text.hpp"

#include <gtest/gtest.h>

namespace solvard::text {
namespace {

TEST(WideTextTest, ConvertsEveryPlaneBothWays) {
  const std::string utf8 = "Time Clock \xC3\xA9\xE6\x97\xA5\xE5\xBF\x97 \xF0\x9F\x98\x80 end";
  const std::u16string utf16 = u"Time Clock \u00E9\u65E5\u5FD7 \U0001F600 end";
  EXPECT_EQ(utf16Of(utf8), utf16);
  EXPECT_EQ(utf8Of(utf16), utf8);
  EXPECT_EQ(utf16Of(""), std::u16string());
  EXPECT_EQ(utf8Of(u""), std::string());
  // An embedded NUL is a character like any other.
  EXPECT_EQ(utf16Of(std::string("a\0b", 3)), std::u16string(u"a\0b", 3));
  // The edges of each sequence length.
  EXPECT_EQ(utf16Of("\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF\xF0\x90\x80\x80\xF4\x8F\xBF\xBF"),
            (std::u16string{0x7F, 0x80, 0x7FF, 0x800, 0xFFFF, 0xD800, 0xDC00, 0xDBFF, 0xDFFF}));
}

TEST(WideTextTest, RefusesWhatIsNotWellFormedUtf8AndSaysWhere) {
  struct Case {
    std::string text;
    std::size_t bad;
  } cases[] = {
      {"ab\x80", 2},              // a continuation byte alone
      {"a\xC3", 1},               // a sequence cut short
      {"a\xC3(", 1},              // a lead byte without its continuation
      {"\xC0\xAF", 0},            // an overlong '/'
      {"xy\xE0\x80\xAF", 2},      // overlong in three bytes
      {"\xF0\x80\x80\xAF", 0},    // overlong in four bytes
      {"\xED\xA0\x80", 0},        // a surrogate's code (U+D800)
      {"ok\xF4\x90\x80\x80", 2},  // beyond U+10FFFF
      {"\xF5\x80\x80\x80", 0},    // a lead byte no sequence has
      {"\xFF", 0},
      {"\xE6\x97", 0},  // three bytes cut short
  };
  for (const Case& c : cases) {
    std::size_t bad = 99;
    EXPECT_EQ(utf16Of(c.text, &bad), std::nullopt) << testing::PrintToString(c.text);
    EXPECT_EQ(bad, c.bad) << testing::PrintToString(c.text);
  }
}

TEST(WideTextTest, RefusesAnUnpairedSurrogateUnlessToldToReplaceIt) {
  const std::u16string lone = {u'a', 0xD800, u'b'};
  const std::u16string reversed = {0xDC00, 0xD800};
  std::size_t bad = 99;
  EXPECT_EQ(utf8Of(lone, &bad), std::nullopt);
  EXPECT_EQ(bad, 1u);
  EXPECT_EQ(utf8Of(reversed, &bad), std::nullopt);
  EXPECT_EQ(bad, 0u);
  EXPECT_EQ(utf8Of(std::u16string{u'x', 0xDBFF}, &bad), std::nullopt);
  EXPECT_EQ(bad, 1u);
  EXPECT_EQ(utf8OfLenient(lone),
            "a\xEF\xBF\xBD"
            "b");
  EXPECT_EQ(utf8OfLenient(reversed), "\xEF\xBF\xBD\xEF\xBF\xBD");
}

}  // namespace
}  // namespace solvard::text
