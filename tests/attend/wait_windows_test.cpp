#include <algorithm>
#include <functional>

#include "attend_fixture.hpp"

namespace solvard::attend::testing {
namespace {

struct WindowCase {
  const char* name;
  // The terminal's answer to the frame; empty for none.
  std::vector<serial::ScriptedPort::Piece> answer;
  std::function<void(component::Attend&)> call;
  std::chrono::milliseconds earliest;
  std::chrono::milliseconds latest;
};

class GiveUpWindows : public AttendTest, public ::testing::WithParamInterface<WindowCase> {};

// The waits count whole seconds of the clock, so where within its second a command starts
// changes how long it waits. Over every start phase the command gives up inside its window, and
// both ends of the window are reached.
TEST_P(GiveUpWindows, HoldForEveryStartPhase) {
  const WindowCase& c = GetParam();
  auto shortest = std::chrono::nanoseconds::max();
  auto longest = std::chrono::nanoseconds::min();
  for (auto phase = 0ms; phase < 1000ms; phase += 1ms) {
    clock.set(std::chrono::seconds(7000) + phase);
    if (!c.answer.empty()) port->answerNextFrame(c.answer);
    const auto start = clock.now();
    c.call(object);
    const auto waited = clock.now() - start;
    shortest = std::min(shortest, waited);
    longest = std::max(longest, waited);
  }
  // A reply just before the earliest end is always taken.
  EXPECT_GE(shortest, c.earliest);
  EXPECT_LE(shortest, c.earliest + 2 * kSlice);
  EXPECT_LE(longest, c.latest + 2 * kSlice);
  EXPECT_GE(longest, c.latest - 2 * kSlice);
  EXPECT_EQ(port->framesWritten().size(), 1000u);
}

INSTANTIATE_TEST_SUITE_P(
    Waits, GiveUpWindows,
    ::testing::Values(
        WindowCase{"Acknowledgement", {}, [](auto& a) { a.ClearMacData(1); }, 4000ms, 5000ms},
        WindowCase{
            "CardNumberFirstByte", {}, [](auto& a) { a.GetOriginalCardNo(1); }, 1000ms, 2000ms},
        // The first byte comes at once (one slice); the 7 that should follow never do.
        WindowCase{"CardNumberRest",
                   {{0ms, {1, 0x12}}},
                   [](auto& a) { a.GetOriginalCardNo(1); },
                   3000ms + kSlice,
                   4000ms + kSlice}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace solvard::attend::testing
