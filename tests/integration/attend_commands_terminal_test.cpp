#include <gtest/gtest.h>

#include "simulator/attend_terminal.hpp"

namespace solvard::simulator {
namespace {

// Frames the attendance terminal does not understand go unanswered and change nothing.
TEST(AttendTerminalFrames, UnknownOrMisshapenFramesAreIgnored) {
  AttendTerminal terminal(1);
  const Bytes ignored[] = {
      {1, 3, 0x01, 0},                 // the record download with a payload
      {1, 2, 0x0D},                    // delete-card without its card
      {1, 5, 0x06, 0, 0, 0},           // clear-records with a payload
      {1, 2, 0x7F},                    // no such command
      {1, 10, 0x0A, 1, 2, 3, 4, 5, 6}  // flow number cut short
  };
  for (const Bytes& frame : ignored) EXPECT_TRUE(terminal.handle(frame).empty());
  const AttendTerminal::State& state = terminal.state();
  EXPECT_EQ(state.recordsCleared, 0);
  EXPECT_TRUE(state.deletedCards.empty());
  EXPECT_TRUE(state.flowNumbers.empty());
}

// Half-bytes that are not decimal digits show as they came rather than as another number.
TEST(AttendTerminalFrames, KeepsDigitsAsTheFrameCarriedThem) {
  AttendTerminal terminal(7, "9876543210");
  terminal.setQueryFiller(0x11, 0x22);
  EXPECT_EQ(terminal.handle(Bytes{7, 5, 0x0D, 0x0A, 0x12, 0x34}), Bytes{7});
  EXPECT_EQ(terminal.handle(Bytes{7, 5, 0x08, 0x23, 0x59, 0x5F}), Bytes{7});
  EXPECT_EQ(terminal.handle(Bytes{7, 2, 0x0B}),
            (Bytes{7, 0x11, 0x22, 0x98, 0x76, 0x54, 0x32, 0x10}));
  EXPECT_EQ(terminal.state().deletedCards, (std::vector<std::string>{"0A1234"}));
  EXPECT_EQ(terminal.state().time, "23:59:5F");
  EXPECT_THROW(terminal.setOriginalCardNo("12345"), std::invalid_argument);
}

}  // namespace
}  // namespace solvard::simulator
