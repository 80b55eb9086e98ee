#include "attend/original_card_no.hpp"

#include "attend_fixture.hpp"
#include "component/attend_commands.hpp"
#include "ui/messages.hpp"

namespace solvard::attend::testing {
namespace {

struct QueryCase {
  const char* name;
  std::vector<serial::ScriptedPort::Piece> answer;
  bool openFails;
  std::optional<std::string> result;
  std::vector<std::string> rest;  // the port log after the port is prepared and cleared
  std::vector<int32_t> reported;
};

class CardNumberQuery : public AttendTest, public ::testing::WithParamInterface<QueryCase> {};

TEST_P(CardNumberQuery, EndsAsItsReplyGives) {
  const QueryCase& c = GetParam();
  if (!c.answer.empty()) port->answerNextFrame(c.answer);
  port->failOpen(c.openFails);

  EXPECT_EQ(ReadOriginalCardNo(1, object.CommPortID()), c.result);

  std::vector<std::string> prepared = kQueryPortOpened;
  if (c.openFails) {
    prepared.resize(prepared.size() - 2);  // nothing is cleared after a failed open
    prepared.back() += " failed";
  }
  EXPECT_EQ(logAfter(prepared), c.rest);
  EXPECT_EQ(reported, c.reported);
  EXPECT_FALSE(port->PortOpen());
}

const std::vector<std::string> kClosedCleared = {"PortOpen false", "InBufferCount 0 failed",
                                                 "OutBufferCount 0 failed"};

std::vector<std::string> lines(std::vector<std::string> head,
                               const std::vector<std::string>& tail) {
  head.insert(head.end(), tail.begin(), tail.end());
  return head;
}

INSTANTIATE_TEST_SUITE_P(
    Endings, CardNumberQuery,
    ::testing::Values(
        QueryCase{"TenDigits",
                  {{200ms, {1, 0xEE, 0xFF, 0x01, 0x23, 0x45, 0x67, 0x89}}},
                  false,
                  "0123456789",
                  {"Output 01 02 0B", "InputLen 1", "Input 01", "InputLen 7",
                   "Input EE FF 01 23 45 67 89", "PortOpen false"},
                  {}},
        // The halves are not checked: 0x0A reads as 10, 0xAF as 115.
        QueryCase{"NibblesTakenAsTheyCome",
                  {{200ms, {1, 0, 0, 0x00, 0x0A, 0xAF, 0x09, 0x99}}},
                  false,
                  "00101150999",
                  {"Output 01 02 0B", "InputLen 1", "Input 01", "InputLen 7",
                   "Input 00 00 00 0A AF 09 99", "PortOpen false"},
                  {}},
        // The rest may come up to 3 whole seconds after the first byte; a ninth byte is lost.
        QueryCase{"RestComesLater",
                  {{900ms, {1}}, {3800ms, {0, 0, 0x98, 0x76, 0x54, 0x32, 0x10, 0x77}}},
                  false,
                  "9876543210",
                  {"Output 01 02 0B", "InputLen 1", "Input 01", "InputLen 7",
                   "Input 00 00 98 76 54 32 10", "PortOpen false"},
                  {}},
        QueryCase{
            "Silence", {}, false, std::nullopt, lines({"Output 01 02 0B"}, kClosedCleared), {}},
        QueryCase{"AnotherMachine",
                  {{200ms, {2, 0, 0, 0x01, 0x23, 0x45, 0x67, 0x89}}},
                  false,
                  std::nullopt,
                  lines({"Output 01 02 0B", "InputLen 1", "Input 02"}, kClosedCleared),
                  {}},
        QueryCase{"FewerThanSevenMore",
                  {{200ms, {1, 0, 0, 0x01, 0x23}}},
                  false,
                  std::nullopt,
                  lines({"Output 01 02 0B", "InputLen 1", "Input 01"}, kClosedCleared),
                  {ui::msg::kReplyIncomplete}},
        QueryCase{"PortCannotOpen", {}, true, std::nullopt, {}, {ui::msg::kPortCannotOpen}}),
    [](const auto& info) { return std::string(info.param.name); });

// The host receives the digits, or empty text for every failure.
TEST_F(AttendTest, GetOriginalCardNoGivesTextOrNothing) {
  port->answerNextFrame({{200ms, {1, 0, 0, 0x01, 0x23, 0x45, 0x67, 0x89}}});
  EXPECT_EQ(object.GetOriginalCardNo(1), "0123456789");
  port->answerNextFrame({{200ms, {1, 0, 0, 0x01}}});
  EXPECT_EQ(object.GetOriginalCardNo(1), "");
  EXPECT_EQ(reported, (std::vector<int32_t>{ui::msg::kReplyIncomplete}));
}

TEST_F(AttendTest, CardNumberOfNoTerminalTouchesNoPort) {
  for (const int16_t machine : {int16_t{256}, int16_t{-1}, int16_t{32767}}) {
    EXPECT_EQ(object.GetOriginalCardNo(machine), "");
  }
  EXPECT_TRUE(port->log().empty());
  EXPECT_TRUE(reported.empty());
}

}  // namespace
}  // namespace solvard::attend::testing
