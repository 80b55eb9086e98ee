#include <gtest/gtest.h>

#include "automation/error_of.hpp"
#include "automation/variant.hpp"

namespace solvard::automation {
namespace {

struct FormatCase {
  Variant in;
  const char* pattern;
  const char* expected;
};

TEST(AutomationFormat, DatePatternsWriteDatesAndLeaveOtherTextAlone) {
  const DateTime moment{2001, 6, 29, 13, 5, 9};
  const FormatCase cases[] = {{moment, "yyyy-MM-dd", "2001-06-29"},
                              {moment, "HH:mm:ss", "13:05:09"},
                              {DateTime{2001, 6, 29, 23, 0, 0}, "hh:mm:ss", "23:00:00"},
                              {"01/6/9", "yyyy-MM-dd", "2001-06-09"},
                              {"13:05", "hh:mm:ss", "13:05:00"},
                              {"2001-06-29", "HH:mm:ss", "00:00:00"},
                              {36976, "yyyy-MM-dd", "2001-03-26"},
                              {37071.75, "HH:mm:ss", "18:00:00"},
                              {"1-5-7", "yyyy-MM-dd", "1-5-7"},
                              {"36976", "yyyy-MM-dd", "36976"},
                              {1e10, "yyyy-MM-dd", "10000000000"},
                              {Variant(), "yyyy-MM-dd", ""}};
  for (const auto& c : cases) {
    EXPECT_EQ(format(c.in, c.pattern), c.expected) << toText(c.in) << " with " << c.pattern;
  }
}

TEST(AutomationFormat, ZeroPatternsRoundHalfAwayAndPadOnTheLeft) {
  const FormatCase cases[] = {
      {"123", "000000", "000123"}, {2.5, "000000", "000003"},
      {-2.5, "00", "-03"},         {"1234567", "000000", "1234567"},
      {"-5", "00", "-05"},         {" 7 ", "0000000000", "0000000007"},
      {"12.5", "0", "13"},         {-0.4, "00", "00"},
      {int16_t{9}, "00", "09"},    {1e20, "00", "100000000000000000000"},
      {true, "00", "-01"},         {DateTime{1900, 1, 1, 18, 0, 0}, "000", "003"},
      {"AB12", "000000", "AB12"},  {"", "00", ""},
      {Variant(), "00", ""}};
  for (const auto& c : cases) {
    EXPECT_EQ(format(c.in, c.pattern), c.expected) << toText(c.in) << " with " << c.pattern;
  }
}

TEST(AutomationFormat, OtherPatternsAreAnInvalidCall) {
  for (const char* pattern : {"", "yyyy/MM/dd", "hh:mm", "0#", "00.0", "dd-MM-yyyy"}) {
    EXPECT_EQ(testing::errorOf([&] { format(2001, pattern); }), errors::kInvalidCall) << pattern;
  }
}

}  // namespace
}  // namespace solvard::automation
