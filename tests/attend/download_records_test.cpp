#include <gtest/gtest.h>

#include "attend/record_columns.hpp"
#include "serial/port_control.hpp"

namespace solvard::attend {
namespace {

struct ColumnCase {
  const char* name;
  int16_t machine;
  serial::Bytes record;
  RecordColumns row;
};

class Columns : public ::testing::TestWithParam<ColumnCase> {};

TEST_P(Columns, AreTheTextsOfTheDecodedBytes) {
  const ColumnCase& c = GetParam();
  EXPECT_EQ(recordColumns(c.machine, c.record), c.row);
}

INSTANTIATE_TEST_SUITE_P(
    Records, Columns,
    ::testing::Values(ColumnCase{"StoredRecord",
                                 3,
                                 {0x12, 0x34, 0x56, 0x01, 0x05, 0x07, 0x08, 0x30, 0xAA},
                                 {"3", "123456", "2001-05-07", "08:30:00"}},
                      ColumnCase{"LeadingZerosOfTheCardKept",
                                 255,
                                 {0x00, 0x00, 0x07, 0x99, 0x12, 0x31, 0x23, 0x59, 0xAA},
                                 {"255", "000007", "2099-12-31", "23:59:00"}},
                      // The halves are not checked: 0x1A reads 1 * 10 + 10, 0xFF 15 * 10 + 15.
                      ColumnCase{"MalformedCardBytes",
                                 0,
                                 {0x1A, 0xFF, 0x09, 0x00, 0x01, 0x01, 0x00, 0x00, 0xAA},
                                 {"0", "2016509", "2000-01-01", "00:00:00"}},
                      ColumnCase{"MonthBeyondTheCalendarKeptInShape",
                                 3,
                                 {0x12, 0x34, 0x56, 0x01, 0x13, 0x05, 0x08, 0x30, 0xAA},
                                 {"3", "123456", "2001-13-05", "08:30:00"}},
                      ColumnCase{"DayBeyondTheMonthKeptInShape",
                                 3,
                                 {0x12, 0x34, 0x56, 0x01, 0x02, 0x30, 0x08, 0x30, 0xAA},
                                 {"3", "123456", "2001-02-30", "08:30:00"}},
                      ColumnCase{"MalformedDateAndTimeBytes",
                                 3,
                                 {0x12, 0x34, 0x56, 0xFF, 0x0A, 0x00, 0x1F, 0xFF, 0xAA},
                                 {"3", "123456", "2165-10-00", "25:165:00"}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace solvard::attend
