#include "prohibit/identity.hpp"

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "component/prohibit.hpp"
#include "component/prohibit_commands.hpp"
#include "prohibit_fixture.hpp"
#include "ui/messages.hpp"

namespace solvard::prohibit::testing {
namespace {

using ui::msg::kPortCannotOpen;
using ui::msg::kReplyIncomplete;

class Identity : public ProhibitTest {
 protected:
  // The terminal answers in two pieces: its machine number, then six bytes.
  void answerPieces(Bytes first, Bytes second, std::chrono::nanoseconds secondAfter = 300ms) {
    port->answerNextFrame({{100ms, std::move(first)}, {secondAfter, std::move(second)}});
  }
  // The operations after the last frame went out.
  std::vector<std::string> afterSend() const {
    const auto& log = port->log();
    auto sent = std::find_if(log.rbegin(), log.rend(),
                             [](const std::string& e) { return e.starts_with("Output"); });
    return std::vector<std::string>(sent.base(), log.end());
  }
};

TEST_F(Identity, DecodesBytesOneToFiveOfTheSecondPiece) {
  const struct {
    Bytes second;
    const char* identity;
  } cases[] = {
      {{0x00, 0x12, 0x34, 0x56, 0x78, 0x90}, "1234567890"},
      {{0xEE, 0x12, 0x34, 0x56, 0x78, 0x90}, "1234567890"},
      {{0x00, 0x01, 0x02, 0x03, 0x04, 0x05}, "0102030405"},
      {{0x00, 0x12, 0x0A, 0x56, 0x78, 0x90}, "1210567890"},
      {{0x00, 0xFF, 0x00, 0x00, 0x00, 0x1F}, "16500000025"},
  };
  for (const auto& c : cases) {
    answerPieces({3}, c.second);
    EXPECT_EQ(GetID(3), c.identity);
  }
  EXPECT_TRUE(reported.empty());
  for (const Bytes& frame : port->framesWritten()) EXPECT_EQ(serial::hexBytes(frame), "03 0C");
}

TEST_F(Identity, CompleteReplyClosesThePortAndLeavesTheBuffers) {
  answerPieces({3}, {0, 0x12, 0x34, 0x56, 0x78, 0x90, 0x42});
  EXPECT_EQ(GetID(3), "1234567890");
  EXPECT_EQ(afterSend(), (std::vector<std::string>{"InputLen 1", "Input 03", "InputLen 6",
                                                   "Input 00 12 34 56 78 90", "PortOpen false"}));
  EXPECT_EQ(port->discardedAtClose(), Bytes{0x42});
}

TEST_F(Identity, FirstPieceAloneWaitsThreeToFourSecondsThenReportsTheReplyIncomplete) {
  for (const auto start : {5000ms, 5499ms, 5501ms, 5990ms}) {
    SCOPED_TRACE(start.count());
    clock.set(start);
    reported.clear();
    port->answerNextFrame({{100ms, {3}}});
    EXPECT_EQ(GetID(3), "");
    const auto waited = clock.now() - (start + 100ms);
    EXPECT_GE(waited, 3s);
    EXPECT_LE(waited, 4s + 100ms);
    EXPECT_EQ(reported, std::vector<int32_t>{kReplyIncomplete});
  }
  EXPECT_EQ(afterSend(),
            (std::vector<std::string>{"InputLen 1", "Input 03", "PortOpen false",
                                      "InBufferCount 0 failed", "OutBufferCount 0 failed"}));
}

TEST_F(Identity, SecondPieceAlreadyWaitingIsTakenWithoutAnotherTurn) {
  // Both pieces arrive together; the first wait's last turn of 5 ms brought them.
  answerPieces({3}, {0, 0x12, 0x34, 0x56, 0x78, 0x90}, 100ms);
  const auto start = clock.now();
  EXPECT_EQ(GetID(3), "1234567890");
  EXPECT_EQ(clock.now() - start, 100ms);
}

TEST_F(Identity, SecondPieceJustInsideItsLimitIsTaken) {
  answerPieces({3}, {0, 0x12, 0x34, 0x56, 0x78, 0x90}, 100ms + 2900ms);
  EXPECT_EQ(GetID(3), "1234567890");
  EXPECT_TRUE(reported.empty());
}

TEST_F(Identity, AnotherMachineNumberEndsAtOnceWithoutReadingFurther) {
  answerPieces({4}, {0, 0x12, 0x34, 0x56, 0x78, 0x90});
  const auto start = clock.now();
  EXPECT_EQ(GetID(3), "");
  EXPECT_LT(clock.now() - start, 200ms);
  EXPECT_TRUE(reported.empty());
  EXPECT_EQ(afterSend(),
            (std::vector<std::string>{"InputLen 1", "Input 04", "PortOpen false",
                                      "InBufferCount 0 failed", "OutBufferCount 0 failed"}));
  EXPECT_EQ(port->lostAfterClose(), (Bytes{0, 0x12, 0x34, 0x56, 0x78, 0x90}));
}

TEST_F(Identity, SilenceGivesUpAfterOneToTwoSecondsWithoutAMessage) {
  const auto start = clock.now();
  EXPECT_EQ(GetID(3), "");
  EXPECT_GE(clock.now() - start, 1s);
  EXPECT_LE(clock.now() - start, 2s);
  EXPECT_TRUE(reported.empty());
}

TEST_F(Identity, PortThatCannotOpenIsReported) {
  port->failOpen();
  EXPECT_EQ(GetID(3), "");
  EXPECT_EQ(reported, std::vector<int32_t>{kPortCannotOpen});
  EXPECT_TRUE(port->framesWritten().empty());
}

TEST_F(Identity, MachineNumberOutsideOneByteIsRefusedUntouched) {
  for (const int16_t machine : {int16_t{-1}, int16_t{256}, int16_t{-32768}}) {
    EXPECT_EQ(GetID(machine), "");
  }
  EXPECT_TRUE(port->log().empty());
  EXPECT_TRUE(reported.empty());
}

TEST_F(Identity, HostReachesItThroughTheObject) {
  component::Prohibit object;
  object.setCommPortID(3);
  answerPieces({7}, {0, 0x12, 0x34, 0x56, 0x78, 0x90});
  std::vector<automation::Variant> args{automation::Variant(int16_t{7})};
  EXPECT_EQ(component::invoke(object, "GetID", component::MemberKind::Method, args),
            automation::Variant("1234567890"));
}

}  // namespace
}  // namespace solvard::prohibit::testing
