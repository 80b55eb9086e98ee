#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "automation/error.hpp"
#include "component/library_line.hpp"
#include "component/prohibit_clock.hpp"
#include "component/prohibit_commands.hpp"
#include "component/prohibit_open_list.hpp"
#include "prohibit/clock_commands.hpp"
#include "prohibit/open_list.hpp"
#include "prohibit/simple_commands.hpp"
#include "prohibit_fixture.hpp"

namespace solvard::prohibit::testing {
namespace {

// The component's boolean as the host sees it.
int32_t asBoolean(bool value) { return value ? -1 : 0; }

// One command as a host calls it for terminal 3, and the frame it must put on the line.
struct CommandCall {
  const char* name;
  std::function<int32_t()> run;
  const char* frame;
  bool lockState = false;  // answers 1, 0 or -1 instead of a boolean
};

const std::vector<CommandCall>& commandCalls() {
  static const std::vector<CommandCall> calls = {
      {"SetResetDelay",
       [] {
         int16_t time = 10;
         return asBoolean(SetResetDelay(3, time));
       },
       "03 02 0A"},
      {"SetLockMode",
       [] {
         int16_t mode = 255;
         return asBoolean(SetLockMode(3, mode));
       },
       "03 03 FF"},
      {"SetLockOpenState", [] { return asBoolean(SetLockOpenState(3)); }, "03 08"},
      {"ClearOpenRecord", [] { return asBoolean(ClearOpenRecord(3)); }, "03 0A"},
      {"ClearOpenList", [] { return asBoolean(ClearOpenList(3)); }, "03 0B"},
      {"GetLockState", [] { return GetLockState(3); }, "03 10", true},
      {"OpenLock", [] { return asBoolean(OpenLock(3)); }, "03 11"},
      {"SetMacDateAndWeek",
       [] {
         return asBoolean(SetMacDateAndWeek(3, {2001, 6, 29}, 5));
       },
       "03 06 04 01 06 29 50"},
      {"SetMacTime", [] { return asBoolean(SetMacTime(3, "13:05:09")); }, "03 07 03 13 05 09"},
      {"SetOpenList",
       [] {
         std::string card = "12345";
         return asBoolean(SetOpenList(3, card, "2001-06-29", "2002-12-31", "08:30", "17:45", 1, 5));
       },
       "03 04 10 00 00 01 23 45 02 01 12 06 31 29 17 08 45 30 15"},
      {"DeleteLockList",
       [] {
         std::string card = "12345";
         return asBoolean(DeleteLockList(3, card));
       },
       "03 05 05 00 00 01 23 45"},
  };
  return calls;
}

enum class Outcome { Acknowledged, NotAcknowledged, TimedOut, PortFailure };

// What terminal 3 (or the port) does with the frame.
struct TerminalReply {
  const char* name;
  std::vector<ScriptedPort::Piece> answer;
  Outcome outcome;
  Bytes discarded;  // bytes left unread when the port closed
};

const std::vector<TerminalReply>& terminalReplies() {
  static const std::vector<TerminalReply> replies = {
      {"Acknowledgement", {{200ms, {3, 2}}}, Outcome::Acknowledged, {}},
      {"AcknowledgementInTwoPieces", {{100ms, {3}}, {700ms, {2}}}, Outcome::Acknowledged, {}},
      // Only the two bytes of the acknowledgement are read; the rest go with the close.
      {"AcknowledgementAndMore",
       {{200ms, {3, 2, 0x55, 0xAA}}},
       Outcome::Acknowledged,
       {0x55, 0xAA}},
      // The second byte is 2 for every command, never the command code.
      {"OpenLockCode", {{200ms, {3, 0x11}}}, Outcome::NotAcknowledged, {}},
      {"OpenListCode", {{200ms, {3, 0x04}}}, Outcome::NotAcknowledged, {}},
      {"DateCode", {{200ms, {3, 0x06}}}, Outcome::NotAcknowledged, {}},
      {"TimeCode", {{200ms, {3, 0x07}}}, Outcome::NotAcknowledged, {}},
      {"OtherMachine", {{200ms, {4, 2}}}, Outcome::NotAcknowledged, {}},
      {"OneByteOnly", {{200ms, {3}}}, Outcome::TimedOut, {3}},
      {"Silence", {}, Outcome::TimedOut, {}},
      {"PortCannotOpen", {}, Outcome::PortFailure, {}},
  };
  return replies;
}

int32_t expectedResult(const CommandCall& call, Outcome outcome) {
  switch (outcome) {
    case Outcome::Acknowledged: return call.lockState ? 1 : -1;
    case Outcome::PortFailure: return call.lockState ? -1 : 0;
    case Outcome::NotAcknowledged:
    case Outcome::TimedOut: break;
  }
  return 0;
}

// The last port operations: every ending closes the port; all but a wrong reply then clear the
// buffers (on the closed port, so the clearing fails and is passed over).
std::vector<std::string> expectedTail(Outcome outcome) {
  switch (outcome) {
    case Outcome::Acknowledged:
    case Outcome::TimedOut:
      return {"PortOpen false", "InBufferCount 0 failed", "OutBufferCount 0 failed"};
    case Outcome::NotAcknowledged: return {"PortOpen false"};
    case Outcome::PortFailure: return {"PortOpen true failed"};
  }
  return {};
}

class CommandEndings
    : public ProhibitTest,
      public ::testing::WithParamInterface<std::tuple<CommandCall, TerminalReply>> {};

TEST_P(CommandEndings, ResultFrameAndPortAsTheTerminalAnswered) {
  const auto& [call, reply] = GetParam();
  if (!reply.answer.empty()) port->answerNextFrame(reply.answer);
  port->failOpen(reply.outcome == Outcome::PortFailure);

  EXPECT_EQ(call.run(), expectedResult(call, reply.outcome));

  EXPECT_EQ(sent(), reply.outcome == Outcome::PortFailure ? "" : call.frame);
  const std::vector<int32_t> messages =
      reply.outcome == Outcome::PortFailure ? std::vector<int32_t>{61206} : std::vector<int32_t>{};
  EXPECT_EQ(reported, messages);
  EXPECT_FALSE(port->PortOpen());
  const std::vector<std::string> tail = expectedTail(reply.outcome);
  ASSERT_GE(port->log().size(), tail.size());
  EXPECT_EQ(std::vector<std::string>(port->log().end() - static_cast<std::ptrdiff_t>(tail.size()),
                                     port->log().end()),
            tail);
  EXPECT_EQ(port->discardedAtClose(), reply.discarded);
}

INSTANTIATE_TEST_SUITE_P(EveryCommand, CommandEndings,
                         ::testing::Combine(::testing::ValuesIn(commandCalls()),
                                            ::testing::ValuesIn(terminalReplies())),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param).name) + "_" +
                                  std::get<1>(info.param).name;
                         });

using CommandSetup = ProhibitTest;

// Closing the port and applying the settings come before anything may be passed over.
TEST_F(CommandSetup, RefusedSettingRaisesBeforeTheOpen) {
  component::librarySettings().portNumber = 0;
  try {
    OpenLock(3);
    FAIL() << "a refused port number must reach the host";
  } catch (const detail::Fault& fault) {
    const automation::AutomationError error = automation::asAutomationError(fault);
    EXPECT_EQ(error.number(), 8002);
  }
  EXPECT_TRUE(port->framesWritten().empty());
  EXPECT_TRUE(reported.empty());
}

// Every command opens the port afresh with the library-wide settings as they stand.
TEST_F(CommandSetup, AppliesTheLibrarySettingsAtEachCommand) {
  component::librarySettings() = {7, "19200,N,8,1", 1024, 256};
  answer({3, 2});
  EXPECT_TRUE(OpenLock(3));
  const std::vector<std::string> opening(port->log().begin(), port->log().begin() + 6);
  EXPECT_EQ(opening,
            (std::vector<std::string>{"CommPort 7", "Settings 19200,N,8,1", "InBufferSize 1024",
                                      "OutBufferSize 256", "InputMode 1", "PortOpen true"}));
}

}  // namespace
}  // namespace solvard::prohibit::testing
