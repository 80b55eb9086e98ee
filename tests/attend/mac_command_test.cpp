#include "component/attend_mac_command.hpp"

#include <functional>

#include "attend_fixture.hpp"
#include "automation/error.hpp"
#include "component/attend_commands.hpp"
#include "component/dispatch.hpp"
#include "ui/messages.hpp"

namespace solvard::attend::testing {
namespace {

using Call = std::function<int32_t(component::Attend&)>;

struct FrameCase {
  const char* name;
  Call call;
  std::string frame;
};

class Frames : public AttendTest, public ::testing::WithParamInterface<FrameCase> {};

// The terminal answers with its machine number; the command returns 1 having sent exactly the
// frame, read one byte and closed the port, without clearing the buffers at any point.
TEST_P(Frames, SendsTheFrameAndTakesTheAcknowledgement) {
  const FrameCase& c = GetParam();
  const uint8_t machine = static_cast<uint8_t>(std::stoi(c.frame.substr(0, 2), nullptr, 16));
  port->answerNextFrame({{300ms, {machine}}});

  EXPECT_EQ(c.call(object), 1);

  EXPECT_EQ(logAfter(kObjectPortOpened),
            (std::vector<std::string>{"Output " + c.frame, "InputLen 1",
                                      "Input " + c.frame.substr(0, 2), "PortOpen false"}));
  EXPECT_TRUE(reported.empty());
  EXPECT_FALSE(port->PortOpen());
}

int16_t funcId = 77;
int16_t machineOne = 1;

INSTANTIATE_TEST_SUITE_P(
    EveryCommand, Frames,
    ::testing::Values(
        FrameCase{"ClearMacData", [](auto& a) { return a.ClearMacData(1); }, "01 02 06"},
        FrameCase{"ClearMacDataMachine255", [](auto& a) { return a.ClearMacData(255); },
                  "FF 02 06"},
        FrameCase{"ClearListInMac", [](auto& a) { return a.ClearListInMac(4, funcId); },
                  "04 02 0C"},
        FrameCase{"DelCardNoNumber",
                  [](auto& a) { return a.DelCardNo(machineOne, Variant(int32_t{1234})); },
                  "01 05 0D 00 12 34"},
        FrameCase{"DelCardNoShortText",
                  [](auto& a) { return a.DelCardNo(machineOne, Variant("1234")); },
                  "01 05 0D 00 12 34"},
        FrameCase{"DelCardNoSixDigits",
                  [](auto& a) { return a.DelCardNo(machineOne, Variant("987650")); },
                  "01 05 0D 98 76 50"},
        FrameCase{"SetCardFlowNoPadsBoth",
                  [](auto& a) { return a.SetCardFlowNo(2, "12", "12345"); },
                  "02 0A 0A 00 00 01 23 45 00 00 12"},
        FrameCase{"SetCardFlowNoTenDigitOriginalUnchanged",
                  [](auto& a) { return a.SetCardFlowNo(2, "654321", "9876543210"); },
                  "02 0A 0A 98 76 54 32 10 65 43 21"},
        FrameCase{"AdjustTimeText", [](auto& a) { return a.AdjustTime(3, Variant("09:48:32")); },
                  "03 05 08 09 48 32"},
        FrameCase{"AdjustTimeShortText", [](auto& a) { return a.AdjustTime(3, Variant("9:48")); },
                  "03 05 08 09 48 00"},
        FrameCase{"AdjustTimeDateAndTimeText",
                  [](auto& a) { return a.AdjustTime(3, Variant("2001-06-29 23:05:09")); },
                  "03 05 08 23 05 09"},
        FrameCase{"AdjustTimeDateValue",
                  [](auto& a) {
                    return a.AdjustTime(3, Variant(DateTime{2001, 6, 29, 9, 48, 32}));
                  },
                  "03 05 08 09 48 32"},
        FrameCase{"AdjustTimeDateValueAtMidnight",
                  [](auto& a) {
                    return a.AdjustTime(3, Variant(DateTime{2001, 6, 29}));
                  },
                  "03 05 08 00 00 00"},
        FrameCase{"AdjustDate",
                  [](auto& a) {
                    return a.AdjustDate(3, DateTime{2001, 6, 29});
                  },
                  "03 05 09 01 06 29"},
        FrameCase{"AdjustDateCenturyNotSent",
                  [](auto& a) {
                    return a.AdjustDate(3, DateTime{2009, 1, 5, 17, 30, 0});
                  },
                  "03 05 09 09 01 05"},
        FrameCase{"AdjustDateMachine0",
                  [](auto& a) {
                    return a.AdjustDate(0, DateTime{1999, 12, 31});
                  },
                  "00 05 09 99 12 31"}),
    [](const auto& info) { return std::string(info.param.name); });

struct EndingCase {
  const char* name;
  std::vector<serial::ScriptedPort::Piece> answer;
  bool openFails;
  const char* failing;  // a port operation that raises, or null
  int32_t result;
  std::vector<std::string> rest;  // the port log after the preparation
  std::vector<int32_t> reported;
};

class Endings : public AttendTest, public ::testing::WithParamInterface<EndingCase> {};

TEST_P(Endings, EndWithTheirMessageAndResult) {
  const EndingCase& c = GetParam();
  if (!c.answer.empty()) port->answerNextFrame(c.answer);
  port->failOpen(c.openFails);
  if (c.failing) port->failOperation(c.failing);

  EXPECT_EQ(object.ClearMacData(1), c.result);

  std::vector<std::string> prepared = kObjectPortOpened;
  if (c.openFails) prepared.back() += " failed";
  EXPECT_EQ(logAfter(prepared), c.rest);
  EXPECT_EQ(reported, c.reported);
  EXPECT_FALSE(port->PortOpen());
}

INSTANTIATE_TEST_SUITE_P(
    SendMacCommand, Endings,
    ::testing::Values(
        // Only the first byte is read; the rest go with the close.
        EndingCase{"AcknowledgedWithMore",
                   {{100ms, {1, 0xAA, 0x55}}},
                   false,
                   nullptr,
                   1,
                   {"Output 01 02 06", "InputLen 1", "Input 01", "PortOpen false"},
                   {}},
        EndingCase{"JustInsideTheWait",
                   {{3990ms, {1}}},
                   false,
                   nullptr,
                   1,
                   {"Output 01 02 06", "InputLen 1", "Input 01", "PortOpen false"},
                   {}},
        EndingCase{"AnotherMachine",
                   {{100ms, {2}}},
                   false,
                   nullptr,
                   0,
                   {"Output 01 02 06", "InputLen 1", "Input 02", "PortOpen false"},
                   {ui::msg::kWrongMachine}},
        EndingCase{"Silence",
                   {},
                   false,
                   nullptr,
                   0,
                   {"Output 01 02 06", "PortOpen false"},
                   {ui::msg::kNoAcknowledgement}},
        EndingCase{"TooLate",
                   {{5100ms, {1}}},
                   false,
                   nullptr,
                   0,
                   {"Output 01 02 06", "PortOpen false"},
                   {ui::msg::kNoAcknowledgement}},
        // No message of its own for the port: the wait runs out and tells of no answer.
        EndingCase{"PortCannotOpen",
                   {{100ms, {1}}},
                   true,
                   nullptr,
                   0,
                   {"Output 01 02 06 failed"},
                   {ui::msg::kNoAcknowledgement}},
        EndingCase{"ReadFails",
                   {{100ms, {1}}},
                   false,
                   "Input",
                   0,
                   {"Output 01 02 06", "InputLen 1", "Input failed", "PortOpen false"},
                   {}}),
    [](const auto& info) { return std::string(info.param.name); });

// A settings text the port refuses ends the command with the refusal, before the open: skipped,
// the command would reach the terminal at the rate the port had before. The other settings are
// still skipped.
TEST_F(AttendTest, RefusedSettingsTextEndsTheCommand) {
  port->failOperation("Settings");
  port->answerNextFrame({{100ms, {1}}});
  try {
    object.ClearMacData(1);
    ADD_FAILURE() << "the refusal was skipped";
  } catch (const detail::Fault& fault) {
    const automation::AutomationError error = automation::asAutomationError(fault);
    EXPECT_EQ(error.number(), 8020);
  }
  EXPECT_EQ(port->log(), (std::vector<std::string>{"CommPort 3", "Settings 19200,N,8,1 failed"}));
  EXPECT_TRUE(port->framesWritten().empty());
  EXPECT_TRUE(reported.empty());
}

TEST_F(AttendTest, RefusedPortSettingIsSkipped) {
  port->failOperation("OutBufferSize");
  port->answerNextFrame({{100ms, {1}}});
  EXPECT_EQ(object.ClearMacData(1), 1);
  std::vector<std::string> prepared = kObjectPortOpened;
  prepared[3] += " failed";
  EXPECT_EQ(logAfter(prepared), (std::vector<std::string>{"Output 01 02 06", "InputLen 1",
                                                          "Input 01", "PortOpen false"}));
}

struct RefusalCase {
  const char* name;
  Call call;
};

class Refusals : public AttendTest, public ::testing::WithParamInterface<RefusalCase> {};

// What would address another terminal, delete another card or set another time is not sent:
// result 0, the port untouched, no message.
TEST_P(Refusals, SendNothingAndTouchNoPort) {
  port->answerNextFrame({{100ms, {1}}});
  EXPECT_EQ(GetParam().call(object), 0);
  EXPECT_TRUE(port->log().empty());
  EXPECT_TRUE(port->framesWritten().empty());
  EXPECT_TRUE(reported.empty());
}

INSTANTIATE_TEST_SUITE_P(
    EveryCommand, Refusals,
    ::testing::Values(
        RefusalCase{"Machine256", [](auto& a) { return a.ClearMacData(256); }},
        RefusalCase{"MachineMinus1", [](auto& a) { return a.ClearListInMac(-1, funcId); }},
        RefusalCase{"DelCardMachine300",
                    [](auto& a) {
                      int16_t m = 300;
                      return a.DelCardNo(m, Variant("123456"));
                    }},
        RefusalCase{"FlowMachine999", [](auto& a) { return a.SetCardFlowNo(999, "1", "2"); }},
        RefusalCase{"TimeMachine256", [](auto& a) { return a.AdjustTime(256, Variant("09:00")); }},
        RefusalCase{"DateMachineMinus5",
                    [](auto& a) {
                      return a.AdjustDate(-5, DateTime{2001, 6, 29});
                    }},
        RefusalCase{"CardWithLetters",
                    [](auto& a) { return a.DelCardNo(machineOne, Variant("AB1234")); }},
        RefusalCase{"CardTooLong",
                    [](auto& a) { return a.DelCardNo(machineOne, Variant(int32_t{1234567})); }},
        RefusalCase{"CardFraction", [](auto& a) { return a.DelCardNo(machineOne, Variant(12.5)); }},
        RefusalCase{"CardFractionText",
                    [](auto& a) { return a.DelCardNo(machineOne, Variant("12.5")); }},
        RefusalCase{"CardNegative",
                    [](auto& a) { return a.DelCardNo(machineOne, Variant(int16_t{-12})); }},
        RefusalCase{"CardEmpty", [](auto& a) { return a.DelCardNo(machineOne, Variant()); }},
        RefusalCase{"FlowTooLong", [](auto& a) { return a.SetCardFlowNo(2, "1234567", "1"); }},
        RefusalCase{"FlowWithLetters", [](auto& a) { return a.SetCardFlowNo(2, "12A", "1"); }},
        RefusalCase{"OriginalTooLong",
                    [](auto& a) { return a.SetCardFlowNo(2, "12", "12345678901"); }},
        RefusalCase{"OriginalWithLetters",
                    [](auto& a) { return a.SetCardFlowNo(2, "12", "12345X7890"); }},
        RefusalCase{"TimeDateOnlyText",
                    [](auto& a) { return a.AdjustTime(3, Variant("2001-06-29")); }},
        RefusalCase{"TimeOutOfRange", [](auto& a) { return a.AdjustTime(3, Variant("25:00:00")); }},
        RefusalCase{"TimeNumber", [](auto& a) { return a.AdjustTime(3, Variant(0.5)); }},
        RefusalCase{"TimeWords", [](auto& a) { return a.AdjustTime(3, Variant("noon")); }},
        RefusalCase{"TimeEmpty", [](auto& a) { return a.AdjustTime(3, Variant()); }}),
    [](const auto& info) { return std::string(info.param.name); });

class LeftOpen : public AttendTest, public ::testing::WithParamInterface<RefusalCase> {};

// A date that is not one, or a function the terminal has no command for, ends once the port is
// open: nothing sent, no message, the port left open for the next command to close.
TEST_P(LeftOpen, UntilTheNextCommandClosesIt) {
  EXPECT_EQ(GetParam().call(object), 0);
  EXPECT_EQ(port->log(), kObjectPortOpened);
  EXPECT_TRUE(port->PortOpen());
  EXPECT_TRUE(reported.empty());

  port->answerNextFrame({{100ms, {1}}});
  EXPECT_EQ(object.ClearMacData(1), 1);
  EXPECT_EQ(port->log().at(kObjectPortOpened.size()), "PortOpen false");
  EXPECT_EQ(port->framesWritten(), (std::vector<Bytes>{{1, 2, 6}}));
}

INSTANTIATE_TEST_SUITE_P(
    SendMacCommand, LeftOpen,
    ::testing::Values(
        RefusalCase{"NotADate",
                    [](auto& a) {
                      return a.AdjustDate(3, DateTime{2001, 2, 30});
                    }},
        RefusalCase{
            "UnknownFunction",
            [](component::Attend&) {
              return SendMacCommand({3, "19200,N,8,1", 2048, 256}, 3, static_cast<MacFunction>(5));
            }}),
    [](const auto& info) { return std::string(info.param.name); });

// In/out arguments of the interface come back as the host passed them, whatever was padded.
TEST_F(AttendTest, DispatchLeavesTheHostsVariablesAlone) {
  port->answerNextFrame({{100ms, {4}}});
  port->answerNextFrame({{100ms, {1}}});
  std::vector<Variant> clearList{int16_t{4}, int16_t{77}};
  std::vector<Variant> delCard{int16_t{1}, Variant("1234")};

  const auto cleared =
      component::tryInvoke(object, "ClearListInMac", component::MemberKind::Method, clearList);
  const auto deleted =
      component::tryInvoke(object, "DelCardNo", component::MemberKind::Method, delCard);

  EXPECT_EQ(cleared.value, Variant(int32_t{1}));
  EXPECT_EQ(deleted.value, Variant(int32_t{1}));
  EXPECT_EQ(clearList, (std::vector<Variant>{int16_t{4}, int16_t{77}}));
  EXPECT_EQ(delCard, (std::vector<Variant>{int16_t{1}, Variant("1234")}));
  EXPECT_EQ(port->framesWritten(), (std::vector<Bytes>{{4, 2, 0x0C}, {1, 5, 0x0D, 0, 0x12, 0x34}}));
}

}  // namespace
}  // namespace solvard::attend::testing
