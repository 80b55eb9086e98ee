// Values refuse what a terminal cannot be sent when they are made, saying why.
#include <gtest/gtest.h>

#include "solvard/solvard.hpp"

namespace solvard {
namespace {

template <typename T>
std::string refusal(const Result<T>& made) {
  return made ? std::string("accepted") : made.error().message();
}

TEST(Values, AreRefusedWhenMadeWithTheReason) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {refusal(MachineNumber::make(-1)),
       "the value cannot be sent to a terminal: machine number -1 is not 0 to 255"},
      {refusal(MachineNumber::make(256)),
       "the value cannot be sent to a terminal: machine number 256 is not 0 to 255"},
      {refusal(MachineNumber::make(255)), "accepted"},
      {refusal(CardNumber::make("12345")),
       "the value cannot be sent to a terminal: card number \"12345\" is not ten digits"},
      {refusal(CardNumber::make("00000a1234")),
       "the value cannot be sent to a terminal: card number \"00000a1234\" is not ten digits"},
      {refusal(CardNumber::make(uint64_t{10'000'000'000})),
       "the value cannot be sent to a terminal: card number 10000000000 has more than ten "
       "digits"},
      {refusal(ShortCardNumber::make("1234567")),
       "the value cannot be sent to a terminal: number \"1234567\" is not six digits"},
      {refusal(ShortCardNumber::make(1'000'000u)),
       "the value cannot be sent to a terminal: number 1000000 has more than six digits"},
      {refusal(TimeOfDay::make(24, 0)),
       "the value cannot be sent to a terminal: time 24:0:0 is not a time of day"},
      {refusal(TimeOfDay::make(23, 59, 59)), "accepted"},
      {refusal(Date::make(2001, 2, 29)),
       "the value cannot be sent to a terminal: 2001-2-29 is not a date"},
      {refusal(Date::make(1999, 12, 31)),
       "the value cannot be sent to a terminal: year 1999 is not 2000 to 2099 (the terminals "
       "keep two digits)"},
      {refusal(Date::make(2004, 2, 29)), "accepted"},
      {refusal(WeekdayNumber::make(10)),
       "the value cannot be sent to a terminal: weekday number 10 is not one digit"},
      {refusal(CardPermit::make(Date::make(2002, 1, 1).value(), Date::make(2001, 12, 31).value(),
                                TimeOfDay::make(0, 0).value(), TimeOfDay::make(0, 0).value(),
                                WeekdayNumber::make(1).value(), WeekdayNumber::make(7).value())),
       "the value cannot be sent to a terminal: the last day is before the first"},
      {refusal(Line::make(Device::path("/dev/x"), LineSettings{0})),
       "the value cannot be sent to a terminal: baud rate 0 is not 1 to 4000000"},
      {refusal(Line::make(Device::path("/dev/x"), LineSettings{9600, Parity::none, 9})),
       "the value cannot be sent to a terminal: 9 data bits: 7 or 8"},
      {refusal(Line::make(Device::path("/dev/x"), LineSettings{9600, Parity::none, 8, 3})),
       "the value cannot be sent to a terminal: 3 stop bits: 1 or 2"},
      {refusal(Device::port(0)),
       "the value cannot be sent to a terminal: port number 0 is not 1 to 255"},
  };
  for (const auto& [got, expected] : cases) EXPECT_EQ(got, expected);
}

TEST(Values, NumbersArePaddedToTheirDigits) {
  EXPECT_EQ(CardNumber::make(uint64_t{12345}).value().digits(), "0000012345");
  EXPECT_EQ(ShortCardNumber::make(42u).value().digits(), "000042");
  // The platform's first serial port.
#ifdef _WIN32
  EXPECT_EQ(Device::port(1).value().name(), R"(\\.\COM1)");
#else
  EXPECT_EQ(Device::port(1).value().name(), "/dev/ttyS0");
#endif
  EXPECT_EQ(WeekdayNumber::iso(std::chrono::Sunday).value(), 7);
}

TEST(Values, AHigherBaudRateThanSixteenBitsIsKept) {
  const auto line = Line::make(Device::path("/dev/x"), LineSettings{115200, Parity::even, 7, 2});
  ASSERT_TRUE(line);
  EXPECT_EQ(line->settings().baud, 115200u);
}

}  // namespace
}  // namespace solvard
