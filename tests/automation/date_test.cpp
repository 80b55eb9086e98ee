#include "automation/date.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace solvard::automation {
namespace {

struct ParseCase {
  const char* text;
  std::optional<DateTime> expected;
  bool hasTime;
};

TEST(AutomationDateParse, AcceptsYearFirstDatesAndTimesOnly) {
  const ParseCase cases[] = {{"2001-6-29", DateTime{2001, 6, 29}, false},
                             {"01/06/29", DateTime{2001, 6, 29}, false},
                             {"2001.06.29 13:05", DateTime{2001, 6, 29, 13, 5, 0}, true},
                             {" 2001-06-29   8:30:15 ", DateTime{2001, 6, 29, 8, 30, 15}, true},
                             {"13:05:09", DateTime{1899, 12, 30, 13, 5, 9}, true},
                             {"0:00", DateTime{1899, 12, 30}, true},
                             {"2000-02-29", DateTime{2000, 2, 29}, false},
                             {"2001-02-29", std::nullopt, false},
                             {"1900-02-29", std::nullopt, false},
                             {"2001-04-31", std::nullopt, false},
                             {"2001-13-01", std::nullopt, false},
                             {"0099-01-01", std::nullopt, false},
                             {"25:00", std::nullopt, false},
                             {"12:60", std::nullopt, false},
                             {"12:05:60", std::nullopt, false},
                             {"2001-06/29", std::nullopt, false},
                             {"1-6-29", std::nullopt, false},
                             {"201-6-29", std::nullopt, false},
                             {"20011-6-29", std::nullopt, false},
                             {"29.06.2001", std::nullopt, false},
                             {"2001-06-29T13:05", std::nullopt, false},
                             {"36976", std::nullopt, false},
                             {"", std::nullopt, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(parseDateTime(c.text), c.expected);
    EXPECT_EQ(textHasTime(c.text), c.hasTime);
  }
}

// A host that joins hour, minute and second as numbers writes single digits in any field.
TEST(AutomationDateParse, TakesOneDigitOrTwoInEveryFieldOfATime) {
  const ParseCase cases[] = {
      {"8:5", DateTime{1899, 12, 30, 8, 5, 0}, true},
      {"17:5", DateTime{1899, 12, 30, 17, 5, 0}, true},
      {"12:5", DateTime{1899, 12, 30, 12, 5, 0}, true},
      {"8:5:9", DateTime{1899, 12, 30, 8, 5, 9}, true},
      {"17:05:9", DateTime{1899, 12, 30, 17, 5, 9}, true},
      {"0:0:0", DateTime{1899, 12, 30}, true},
      {"23:59:59", DateTime{1899, 12, 30, 23, 59, 59}, true},
      {"2001-6-29 8:5", DateTime{2001, 6, 29, 8, 5, 0}, true},
      {" 2001/06/29 9:7:3 ", DateTime{2001, 6, 29, 9, 7, 3}, true},
      {"8:60", std::nullopt, false},
      {"8:5:60", std::nullopt, false},
      {"24:0", std::nullopt, false},
      {"8:", std::nullopt, false},
      {"8::5", std::nullopt, false},
      {"8:5:", std::nullopt, false},
      {":5", std::nullopt, false},
      {"8:005", std::nullopt, false},
      {"8:5:009", std::nullopt, false},
      {"8:5:9:1", std::nullopt, false},
      {"8:-5", std::nullopt, false},
      {"8: 5", std::nullopt, false},
      {"2001-6-29 8:", std::nullopt, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(parseDateTime(c.text), c.expected);
    EXPECT_EQ(textHasTime(c.text), c.hasTime);
  }
}

TEST(AutomationDateSerial, MatchesTheAutomationDateNumber) {
  const std::pair<DateTime, double> cases[] = {{{1899, 12, 30}, 0},
                                               {{1900, 1, 1}, 2},
                                               {{1900, 3, 1}, 61},
                                               {{2000, 1, 1}, 36526},
                                               {{2001, 3, 26}, 36976},
                                               {{2001, 6, 29, 12, 0, 0}, 37071.5},
                                               {{1899, 12, 29, 6, 0, 0}, -1.25},
                                               {{1899, 12, 28, 18, 0, 0}, -2.75},
                                               {{100, 1, 1}, -657434},
                                               {{9999, 12, 31}, 2958465}};
  for (const auto& [date, serial] : cases) {
    SCOPED_TRACE(serial);
    EXPECT_EQ(date.toSerial(), serial);
    EXPECT_EQ(DateTime::fromSerial(serial), date);
  }
}

TEST(AutomationDateSerial, RoundsToTheNearestSecond) {
  const std::pair<double, DateTime> cases[] = {{1 + 59.6 / 86400, {1899, 12, 31, 0, 1, 0}},
                                               {1 + 59.4 / 86400, {1899, 12, 31, 0, 0, 59}},
                                               {0.9999999, {1899, 12, 31}},
                                               {-1.9999999, {1899, 12, 30}},
                                               {-0.5, {1899, 12, 30, 12, 0, 0}}};
  for (const auto& [serial, date] : cases) {
    SCOPED_TRACE(serial);
    EXPECT_EQ(DateTime::fromSerial(serial), date);
  }
  EXPECT_FALSE(DateTime::fromSerial(std::numeric_limits<double>::quiet_NaN()).isValid());
  EXPECT_FALSE(DateTime::fromSerial(2958466).isValid());
}

// Walks every day an automation date can hold, counting the calendar forward by hand, so that
// every month length and leap year of the serial arithmetic is checked.
TEST(AutomationDateSerial, EveryDayFollowsTheCalendar) {
  auto monthLength = [](int year, int month) {
    if (month == 2) return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0 ? 29 : 28;
    return month == 4 || month == 6 || month == 9 || month == 11 ? 30 : 31;
  };
  DateTime expected{100, 1, 1, 7, 8, 9};
  const double time = (7 * 3600 + 8 * 60 + 9) / 86400.0;
  for (int serial = -657434; serial <= 2958465; ++serial) {
    const DateTime date = DateTime::fromSerial(serial < 0 ? serial - time : serial + time);
    ASSERT_EQ(date, expected) << serial;
    ASSERT_TRUE(date.isValid()) << serial;
    ASSERT_EQ(std::trunc(date.toSerial()), serial);
    if (++expected.day > monthLength(expected.year, expected.month)) {
      expected.day = 1;
      if (++expected.month > 12) {
        expected.month = 1;
        ++expected.year;
      }
    }
  }
}

TEST(AutomationDateValid, RejectsFieldsOutOfRange) {
  const DateTime invalid[] = {
      {2001, 0, 1},  {2001, 12, 32},          {2001, 6, 31},           {99, 12, 31},
      {10000, 1, 1}, {2001, 6, 29, 24, 0, 0}, {2001, 6, 29, 0, 60, 0}, {2001, 6, 29, 0, 0, -1}};
  for (const auto& date : invalid) EXPECT_FALSE(date.isValid()) << dateText(date);
}

}  // namespace
}  // namespace solvard::automation
