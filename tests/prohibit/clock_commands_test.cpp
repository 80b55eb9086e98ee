#include "prohibit/clock_commands.hpp"

#include <string>
#include <vector>

#include "automation/error.hpp"
#include "component/prohibit_clock.hpp"
#include "component/prohibit_commands.hpp"
#include "prohibit_fixture.hpp"

namespace solvard::prohibit::testing {
namespace {

using automation::DateTime;

struct DateCase {
  DateTime date;
  int16_t weekday;
  const char* frame;
};

using DateAndWeek = ProhibitTest;

TEST_F(DateAndWeek, PacksTheHostsDateAndTheFirstDigitOfItsWeekday) {
  const DateCase cases[] = {
      {{2001, 6, 29}, 5, "03 06 04 01 06 29 50"},
      {{2001, 6, 29}, 0, "03 06 04 01 06 29 00"},
      {{2001, 6, 29}, 7, "03 06 04 01 06 29 70"},
      {{2001, 6, 29}, 9, "03 06 04 01 06 29 90"},
      {{2001, 6, 29}, 10, "03 06 04 01 06 29 10"},
      {{2001, 6, 29}, 15, "03 06 04 01 06 29 10"},
      {{2001, 6, 29}, 12, "03 06 04 01 06 29 10"},
      {{2001, 6, 29}, 32767, "03 06 04 01 06 29 30"},
      {{1999, 12, 31}, 5, "03 06 04 99 12 31 50"},
      {{2000, 1, 1}, 6, "03 06 04 00 01 01 60"},
      {{2010, 10, 9}, 6, "03 06 04 10 10 09 60"},
      // The time of day of the host's date plays no part.
      {{2024, 2, 29, 23, 59, 59}, 4, "03 06 04 24 02 29 40"},
  };
  for (const DateCase& c : cases) {
    SCOPED_TRACE(c.frame);
    answer({3, 2});
    EXPECT_TRUE(SetMacDateAndWeek(3, c.date, c.weekday));
    EXPECT_EQ(serial::hexBytes(port->framesWritten().back()), c.frame);
  }
  EXPECT_FALSE(port->PortOpen());
}

// Its text begins with "-", which does not read as a digit. Nothing passes over that failure:
// it reaches the host before the frame is sent and leaves the port open.
TEST_F(DateAndWeek, NegativeWeekdayRaisesAndLeavesThePortOpen) {
  answer({3, 2});
  try {
    SetMacDateAndWeek(3, {2001, 6, 29}, -1);
    FAIL() << "a negative weekday must reach the host";
  } catch (const detail::Fault& fault) {
    const automation::AutomationError error = automation::asAutomationError(fault);
    EXPECT_EQ(error.number(), 13);
  }
  EXPECT_TRUE(port->framesWritten().empty());
  EXPECT_TRUE(port->PortOpen());
  EXPECT_TRUE(reported.empty());

  // The next command closes it first.
  answer({3, 2});
  EXPECT_TRUE(SetMacTime(3, "13:05:09"));
  EXPECT_FALSE(port->PortOpen());
}

TEST_F(DateAndWeek, FailingPortOperationRaisesAfterTheOpen) {
  port->failOperation("Output");
  EXPECT_THROW(SetMacDateAndWeek(3, {2001, 6, 29}, 5), detail::Fault);
  EXPECT_TRUE(port->PortOpen());
  EXPECT_TRUE(reported.empty());
}

TEST_F(DateAndWeek, PortThatCannotOpenIsReportedAndGivesFalse) {
  port->failOpen();
  EXPECT_FALSE(SetMacDateAndWeek(3, {2001, 6, 29}, 5));
  EXPECT_EQ(reported, std::vector<int32_t>{61206});
  EXPECT_TRUE(port->framesWritten().empty());
}

struct TimeCase {
  const char* text;
  const char* frame;  // empty: refused, nothing sent
};

using TimeOfDay = ProhibitTest;

TEST_F(TimeOfDay, SendsTheTimeReadFromTheTextOrNothing) {
  const TimeCase cases[] = {
      {"13:05:09", "03 07 03 13 05 09"},
      {"00:00:00", "03 07 03 00 00 00"},
      {"23:59:59", "03 07 03 23 59 59"},
      {"8:07", "03 07 03 08 07 00"},
      {" 13:05:09 ", "03 07 03 13 05 09"},
      // A date contributes nothing; a date alone gives midnight.
      {"2001-06-29 13:05:09", "03 07 03 13 05 09"},
      {"2001-06-29", "03 07 03 00 00 00"},
      {"13.05.09", "03 07 03 00 00 00"},  // the date 2013-05-09
      // Texts that do not read as a time would set the clock to midnight: refused.
      {"", ""},
      {"abc", ""},
      {"24:00:00", ""},
      {"13:60", ""},
      {"130509", ""},
      {"13:05:09 pm", ""},
  };
  for (const TimeCase& c : cases) {
    SCOPED_TRACE(c.text);
    const size_t framesBefore = port->framesWritten().size();
    const size_t logBefore = port->log().size();
    const bool refused = std::string(c.frame).empty();
    if (!refused) answer({3, 2});
    EXPECT_EQ(SetMacTime(3, c.text), !refused);
    if (refused) {
      EXPECT_EQ(port->log().size(), logBefore) << "the port must not be touched";
      EXPECT_EQ(port->framesWritten().size(), framesBefore);
      continue;
    }
    EXPECT_EQ(serial::hexBytes(port->framesWritten().back()), c.frame);
  }
  EXPECT_TRUE(reported.empty());
}

}  // namespace
}  // namespace solvard::prohibit::testing
