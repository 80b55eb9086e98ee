#include "prohibit/open_list.hpp"

#include <string>
#include <vector>

#include "component/prohibit_commands.hpp"
#include "component/prohibit_open_list.hpp"
#include "prohibit_fixture.hpp"

namespace solvard::prohibit::testing {
namespace {

struct CardCase {
  const char* given;
  const char* writtenBack;
  const char* cardBytes;  // empty: refused, nothing sent
};

const CardCase kCards[] = {
    {"12345", "0000012345", "00 00 01 23 45"},
    {"0000012345", "0000012345", "00 00 01 23 45"},
    {"1234567890", "1234567890", "12 34 56 78 90"},
    {"9999999999", "9999999999", "99 99 99 99 99"},
    {"0", "0000000000", "00 00 00 00 00"},
    {" 42 ", "0000000042", "00 00 00 00 42"},
    {"123.6", "0000000124", "00 00 00 01 24"},
    // Sending only ten of eleven digits, or 0 for a letter, would name another card.
    {"12345678901", "12345678901", ""},
    {"A123", "A123", ""},
    {"", "", ""},
    {"12 34", "12 34", ""},
    {"-5", "-0000000005", ""},
};

using OpenListCard = ProhibitTest;

TEST_F(OpenListCard, EntryWritesBackTheNormalisedCardAndSendsItsTenDigits) {
  for (const CardCase& c : kCards) {
    SCOPED_TRACE(c.given);
    const size_t framesBefore = port->framesWritten().size();
    const bool refused = std::string(c.cardBytes).empty();
    if (!refused) answer({3, 2});
    std::string card = c.given;
    EXPECT_EQ(SetOpenList(3, card, "2001-06-29", "2002-12-31", "08:30", "17:45", 1, 5), !refused);
    EXPECT_EQ(card, c.writtenBack);
    if (refused) {
      EXPECT_EQ(port->framesWritten().size(), framesBefore);
      continue;
    }
    EXPECT_EQ(serial::hexBytes(port->framesWritten().back()),
              std::string("03 04 10 ") + c.cardBytes + " 02 01 12 06 31 29 17 08 45 30 15");
  }
  EXPECT_TRUE(reported.empty());
}

TEST_F(OpenListCard, DeleteWritesBackTheNormalisedCardAndSendsEightBytes) {
  for (const CardCase& c : kCards) {
    SCOPED_TRACE(c.given);
    const size_t framesBefore = port->framesWritten().size();
    const bool refused = std::string(c.cardBytes).empty();
    if (!refused) answer({3, 2});
    std::string card = c.given;
    EXPECT_EQ(DeleteLockList(3, card), !refused);
    EXPECT_EQ(card, c.writtenBack);
    if (refused) {
      EXPECT_EQ(port->framesWritten().size(), framesBefore);
      continue;
    }
    EXPECT_EQ(serial::hexBytes(port->framesWritten().back()),
              std::string("03 05 05 ") + c.cardBytes);
  }
  EXPECT_TRUE(reported.empty());
}

// The card is written back before anything is tried, also when the port then fails.
TEST_F(OpenListCard, WrittenBackWhenThePortCannotOpen) {
  port->failOpen();
  std::string entry = "12345";
  std::string removal = "777";
  EXPECT_FALSE(SetOpenList(3, entry, "2001-06-29", "2002-12-31", "08:30", "17:45", 1, 5));
  EXPECT_FALSE(DeleteLockList(3, removal));
  EXPECT_EQ(entry, "0000012345");
  EXPECT_EQ(removal, "0000000777");
  EXPECT_EQ(reported, (std::vector<int32_t>{61206, 61206}));
}

struct WindowCase {
  const char* firstYear;
  const char* lastYear;
  const char* firstTime;
  const char* lastTime;
  int16_t startWeek;
  int16_t endWeek;
  const char* windowBytes;  // bytes 8 to 18; empty: refused, nothing sent
};

using OpenListWindow = ProhibitTest;

TEST_F(OpenListWindow, SendsEndBeforeStartAndTheWeekdaysStartFirst) {
  const WindowCase cases[] = {
      {"2001-06-29", "2002-12-31", "08:30", "17:45", 1, 5, "02 01 12 06 31 29 17 08 45 30 15"},
      {"1999-01-02", "2000-03-04", "00:00", "23:59", 0, 6, "00 99 03 01 04 02 23 00 59 00 06"},
      {"2010-10-10", "2010-10-10", "8:05:59", "20:10:00", 7, 10,
       "10 10 10 10 10 10 20 08 10 05 71"},
      // Empty times mean midnight; a date alone too; a date-and-time gives its time.
      {"2001-06-29", "2002-12-31", "", "17:45", 1, 5, "02 01 12 06 31 29 17 00 45 00 15"},
      {"2001-06-29", "2002-12-31", "08:30", "", 1, 5, "02 01 12 06 31 29 00 08 00 30 15"},
      {"2001-06-29", "2002-12-31", "2001-06-29", "2002-12-31 17:45", 1, 5,
       "02 01 12 06 31 29 17 00 45 00 15"},
      // Day texts may carry a time; only their date counts.
      {"2001-06-29 08:00", "2002/12/31", "08:30", "17:45", 1, 5,
       "02 01 12 06 31 29 17 08 45 30 15"},
      // Only the first digit of a weekday counts; a negative one leaves the weekday byte 0.
      {"2001-06-29", "2002-12-31", "08:30", "17:45", 12, 5, "02 01 12 06 31 29 17 08 45 30 15"},
      {"2001-06-29", "2002-12-31", "08:30", "17:45", -1, 5, "02 01 12 06 31 29 17 08 45 30 00"},
      {"2001-06-29", "2002-12-31", "08:30", "17:45", 1, -5, "02 01 12 06 31 29 17 08 45 30 00"},
      // Refused: a day that is no date, or a time text that does not read as a time.
      {"2001-06-29", "no date", "08:30", "17:45", 1, 5, ""},
      {"", "2002-12-31", "08:30", "17:45", 1, 5, ""},
      {"2001-02-30", "2002-12-31", "08:30", "17:45", 1, 5, ""},
      {"08:30", "2002-12-31", "08:30", "17:45", 1, 5, ""},
      {"2001-06-29", "2002-12-31", "8h30", "17:45", 1, 5, ""},
      {"2001-06-29", "2002-12-31", "08:30", "25:00", 1, 5, ""},
  };
  for (const WindowCase& c : cases) {
    SCOPED_TRACE(std::string(c.firstYear) + " " + c.lastYear + " " + c.firstTime + " " +
                 c.lastTime + " " + std::to_string(c.startWeek) + " " + std::to_string(c.endWeek));
    const size_t logBefore = port->log().size();
    const bool refused = std::string(c.windowBytes).empty();
    if (!refused) answer({3, 2});
    std::string card = "12345";
    EXPECT_EQ(SetOpenList(3, card, c.firstYear, c.lastYear, c.firstTime, c.lastTime, c.startWeek,
                          c.endWeek),
              !refused);
    EXPECT_EQ(card, "0000012345");
    if (refused) {
      EXPECT_EQ(port->log().size(), logBefore) << "the port must not be touched";
      continue;
    }
    EXPECT_EQ(serial::hexBytes(port->framesWritten().back()),
              std::string("03 04 10 00 00 01 23 45 ") + c.windowBytes);
  }
  EXPECT_TRUE(reported.empty());
}

}  // namespace
}  // namespace solvard::prohibit::testing
