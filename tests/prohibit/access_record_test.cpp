#include "prohibit/access_record.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "prohibit/table_name.hpp"
#include "serial/packed_digits.hpp"
#include "serial/port_control.hpp"

namespace solvard::prohibit {
namespace {

using serial::Bytes;

TEST(TwoDigitText, ReadsEachHalfAsADigitValue) {
  const struct {
    uint8_t byte;
    const char* text;
  } cases[] = {{0x00, "00"}, {0x07, "07"}, {0x29, "29"},  {0x99, "99"},
               {0x0A, "10"}, {0x1F, "25"}, {0xA0, "100"}, {0xFF, "165"}};
  for (const auto& c : cases) EXPECT_EQ(serial::twoDigitText(c.byte), c.text) << int{c.byte};
}

TEST(AccessRecord, BecomesCardDateAndTime) {
  const struct {
    Bytes record;
    AccessRow row;
  } cases[] = {
      {{0x12, 0x34, 0x56, 0x78, 0x90, 0x01, 0x06, 0x29, 0x08, 0x05},
       {"1234567890", "2001-06-29", "08:05"}},
      {{0x00, 0x00, 0x01, 0x23, 0x45, 0x01, 0x06, 0x29, 0x17, 0x45},
       {"0000012345", "2001-06-29", "17:45"}},
      // No range check: the minute 0x5A reads 60, a half above 9 still counts as a digit.
      {{0x12, 0x0A, 0x56, 0x78, 0x90, 0x99, 0x12, 0x31, 0x23, 0x5A},
       {"1210567890", "2099-12-31", "23:60"}},
      // Dates no calendar has keep the decoded values in the same shape.
      {{0, 0, 0, 0, 0x01, 0x01, 0x13, 0x00, 0x00, 0x00}, {"0000000001", "2001-13-00", "00:00"}},
      {{0, 0, 0, 0, 0x01, 0x23, 0x02, 0x30, 0x00, 0x00}, {"0000000001", "2023-02-30", "00:00"}},
      {{0, 0, 0, 0, 0x01, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, {"0000000001", "2165-165-165", "165:165"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(decodeAccessRecord(c.record), c.row) << c.row.card << " " << c.row.date;
  }
}

TEST(AccessRecord, NeedsTenBytesAndReadsNoMore) {
  EXPECT_EQ(decodeAccessRecord(Bytes{0x12, 0x34, 0x56, 0x78, 0x90, 0x01, 0x06, 0x29, 0x08}),
            std::nullopt);
  EXPECT_EQ(decodeAccessRecord(Bytes{}), std::nullopt);
  const Bytes longer{0x12, 0x34, 0x56, 0x78, 0x90, 0x01, 0x06, 0x29, 0x08, 0x05, 0x77};
  EXPECT_EQ(decodeAccessRecord(longer), (AccessRow{"1234567890", "2001-06-29", "08:05"}));
}

TEST(AccessRecord, StatementNamesTheTableAsGiven) {
  const AccessRow row{"1234567890", "2001-06-29", "08:05"};
  EXPECT_EQ(insertStatement("Records", row),
            "Insert into Records values('1234567890','2001-06-29','08:05')");
  EXPECT_EQ(insertStatement("dbo.[Access Records]", row),
            "Insert into dbo.[Access Records] values('1234567890','2001-06-29','08:05')");
}

TEST(TableName, TakesIdentifiersOfAnyScriptPlainOrQuoted) {
  const std::vector<std::string> names = {"Records",
                                          "_records",
                                          "r2",
                                          "dbo.Records",
                                          "srv.db.dbo.Records",
                                          "Записи",
                                          "访问记录",
                                          "データ",
                                          "Zugänge",
                                          "अभिलेख",
                                          "dbo.[Access Records]",
                                          "\"Access Records\"",
                                          "[Records (2001)]",
                                          "[a.b]",
                                          "Café_2",
                                          "a\xCC\x81"};
  for (const std::string& name : names) {
    EXPECT_TRUE(isTableName(name)) << name;
  }
}

TEST(TableName, RefusesWhatCouldChangeTheStatement) {
  const std::vector<std::string> names = {"",
                                          "Records; drop table x",
                                          "Records;",
                                          "Records--",
                                          "Records -- x",
                                          "Records/*x*/",
                                          "Access Records",
                                          " Records",
                                          "Records ",
                                          "1abc",
                                          "a.",
                                          ".a",
                                          "a..b",
                                          "[a]]b]",
                                          "\"a\"\"b\"",
                                          "[]",
                                          "\"\"",
                                          "[a",
                                          "\"a",
                                          "[a]b",
                                          "[a].",
                                          "a]",
                                          "Records'",
                                          "'Records'",
                                          "`Records`",
                                          "[a;b]",
                                          "[a--b]",
                                          "[a/*b]",
                                          "[a'b]",
                                          "[a\"b]",
                                          "\"a`b\"",
                                          "[a\\b]",
                                          "[a\nb]",
                                          "Rec\tords",
                                          "Records\x7F",
                                          "Re\xC3",
                                          "Re\xFF"
                                          "cords",
                                          "a-b",
                                          "a+b",
                                          "Records)",
                                          "dbo.Records values",
                                          "Recordsʼ",
                                          "[aʼb]",
                                          "Records；",
                                          "[a；b]",
                                          "\xCC\x81x",
                                          "x\xE2\x80\x8By"};
  for (const std::string& name : names) {
    EXPECT_FALSE(isTableName(name)) << name;
  }
}

}  // namespace
}  // namespace solvard::prohibit
