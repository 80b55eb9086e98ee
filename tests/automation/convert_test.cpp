#include <gtest/gtest.h>

#include "automation/error_of.hpp"
#include "automation/variant.hpp"

namespace solvard::automation {
namespace {

using testing::errorOf;
constexpr int32_t kOk = 0;

// A conversion to a whole number: its result, or the error number it raises.
struct WholeCase {
  Variant in;
  int64_t expected;
  int32_t error = kOk;
};

template <typename Convert>
void checkWhole(const std::vector<WholeCase>& cases, Convert convert) {
  for (const auto& c : cases) {
    SCOPED_TRACE(toText(c.in));
    if (c.error != kOk) {
      EXPECT_EQ(errorOf([&] { convert(c.in); }), c.error);
    } else {
      EXPECT_EQ(convert(c.in), c.expected);
    }
  }
}

TEST(AutomationConvert, ToInt16RoundsHalfToEvenAndChecksRange) {
  checkWhole({{32767, 32767},
              {32768, 0, errors::kOverflow},
              {-32768, -32768},
              {-32769, 0, errors::kOverflow},
              {2.5, 2},
              {3.5, 4},
              {-2.5, -2},
              {2.5000001, 3},
              {32767.5, 0, errors::kOverflow},
              {-32768.5, -32768},
              {"12.5", 12},
              {" 7 ", 7},
              {"-1.5e1", -15},
              {".5", 0},
              {"1e999", 0, errors::kOverflow},
              {"abc", 0, errors::kTypeMismatch},
              {"", 0, errors::kTypeMismatch},
              {"7 7", 0, errors::kTypeMismatch},
              {"1e", 0, errors::kTypeMismatch},
              {"2001-06-29", 0, errors::kTypeMismatch},
              {true, -1},
              {Variant(), 0},
              {DateTime{1900, 1, 1, 12, 0, 0}, 2}},
             toInt16);
}

TEST(AutomationConvert, ToInt32AndByteCheckTheirRanges) {
  checkWhole({{2147483647, 2147483647},
              {2147483648.0, 0, errors::kOverflow},
              {-2147483648.0, -2147483648LL},
              {"2147483647.5", 0, errors::kOverflow},
              {int16_t{-5}, -5}},
             toInt32);
  checkWhole({{255, 255},
              {256, 0, errors::kOverflow},
              {-1, 0, errors::kOverflow},
              {254.5, 254},
              {255.5, 0, errors::kOverflow},
              {-0.4, 0},
              {"12", 12},
              {true, 0, errors::kOverflow}},
             toByte);
}

TEST(AutomationConvert, ToDoubleReadsNumberTextOnly) {
  EXPECT_EQ(toDouble("1.5E+3"), 1500);
  EXPECT_EQ(toDouble(" -0.25 "), -0.25);
  EXPECT_EQ(toDouble("1e-400"), 0);
  EXPECT_EQ(toDouble(DateTime{1899, 12, 29, 6, 0, 0}), -1.25);
  EXPECT_EQ(errorOf([] { toDouble("0x10"); }), errors::kTypeMismatch);
  EXPECT_EQ(errorOf([] { toDouble("-1e400"); }), errors::kOverflow);
}

TEST(AutomationConvert, ToBoolTakesWordsAndNumbers) {
  const std::pair<Variant, bool> cases[] = {
      {"TRUE", true}, {" false ", false}, {"0", false}, {"-2.5", true},     {0.0, false},
      {-1, true},     {Variant(), false}, {true, true}, {int16_t{0}, false}};
  for (const auto& [in, expected] : cases) EXPECT_EQ(toBool(in), expected) << toText(in);
  EXPECT_EQ(errorOf([] { toBool("yes"); }), errors::kTypeMismatch);
}

TEST(AutomationConvert, ToTextWritesAutomationForms) {
  const std::pair<Variant, const char*> cases[] = {
      {int16_t{-5}, "-5"},
      {-2147483647 - 1, "-2147483648"},
      {2.5, "2.5"},
      {3.0, "3"},
      {0.1, "0.1"},
      {-0.0, "0"},
      {0.0001, "0.0001"},
      {123456789012345.0, "123456789012345"},
      {1e15, "1E+15"},
      {1.5e-5, "1.5E-05"},
      {true, "True"},
      {false, "False"},
      {Variant(), ""},
      {DateTime{2001, 6, 29}, "2001-06-29"},
      {DateTime{1899, 12, 30, 13, 5, 9}, "13:05:09"},
      {DateTime{1899, 12, 30}, "00:00:00"},
      {DateTime{2001, 6, 29, 8, 5, 0}, "2001-06-29 08:05:00"}};
  for (const auto& [in, expected] : cases) EXPECT_EQ(toText(in), expected);
}

TEST(AutomationConvert, ToDateFromTextAndSerialNumbers) {
  EXPECT_EQ(toDate("2001-6-29 13:05"), (DateTime{2001, 6, 29, 13, 5, 0}));
  EXPECT_EQ(toDate(36976), (DateTime{2001, 3, 26}));
  EXPECT_EQ(toDate(-1.25), (DateTime{1899, 12, 29, 6, 0, 0}));
  EXPECT_EQ(toDate(Variant()), DateTime{});
  EXPECT_EQ(errorOf([] { toDate("36976"); }), errors::kTypeMismatch);
  EXPECT_EQ(errorOf([] { toDate("25:00"); }), errors::kTypeMismatch);
  EXPECT_EQ(errorOf([] { toDate(1e10); }), errors::kOverflow);
}

TEST(AutomationConvert, IsDateAndIsNumericTellWhatConverts) {
  const std::tuple<Variant, bool, bool> cases[] = {
      // value, isDate, isNumeric
      {"2001-06-29", true, false}, {"13:05", true, false},   {DateTime{}, true, false},
      {36976, false, true},        {" 1.5e3 ", false, true}, {"1e999", false, false},
      {"abc", false, false},       {"", false, false},       {Variant(), false, true},
      {true, false, true}};
  for (const auto& [in, date, numeric] : cases) {
    SCOPED_TRACE(toText(in));
    EXPECT_EQ(isDate(in), date);
    EXPECT_EQ(isNumeric(in), numeric);
  }
}

TEST(AutomationConvert, FailuresCarryTheAutomationDescription) {
  const std::pair<void (*)(), const char*> cases[] = {{[] { toInt16("abc"); }, "Type mismatch"},
                                                      {[] { toByte(256); }, "Overflow"}};
  for (const auto& [call, description] : cases) {
    try {
      call();
      ADD_FAILURE() << description << " not raised";
    } catch (const AutomationError& error) {
      EXPECT_EQ(error.description(), description);
      EXPECT_STREQ(error.what(), description);
    }
  }
}

}  // namespace
}  // namespace solvard::automation
