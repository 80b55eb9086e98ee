#include "link_fixture.hpp"

namespace solvard::serial::testing {
namespace {

// The wait is measured in whole seconds of the clock, so where within its second an exchange
// starts changes how long it waits; every start phase is tried, millisecond by millisecond.
class ReplyTiming : public LinkTest {
 protected:
  // Sends a frame at `phase` into a second, then waits for 2 bytes; returns the outcome and
  // how long after the frame the wait ended.
  std::pair<WaitResult, std::chrono::nanoseconds> waitFrom(std::chrono::milliseconds phase,
                                                           int timeout, const WaitRule& rule) {
    clock.set(std::chrono::seconds(7000) + phase);
    Link link = makeLink();
    link.OpenPort(setup);
    link.SendFrame(Bytes{3, 0x11});
    const auto sent = clock.now();
    const WaitResult result = link.awaitReply(2, timeout, rule);
    const auto waited = clock.now() - sent;
    link.ClosePort();
    return {result, waited};
  }
};

TEST_F(ReplyTiming, ReplyJustInsideTheTimeoutIsAlwaysAccepted) {
  for (const auto& [timeout, arrival] : {std::pair{1, 900ms}, std::pair{3, 2900ms}}) {
    for (auto phase = 0ms; phase < 1000ms; phase += 1ms) {
      port.answerNextFrame({{arrival, {3, 2}}});
      const auto [result, waited] = waitFrom(phase, timeout, WaitRule{});
      ASSERT_EQ(result, WaitResult::Arrived) << "timeout " << timeout << ", phase " << phase;
      ASSERT_LE(waited, arrival + kSlice);
    }
  }
}

// Each pass of the wait tells the port how many bytes are still missing, so that a port can
// sleep until the reply is whole; a reply that never completes is still waited for by the
// slice, and the missing count never falls below one.
TEST_F(ReplyTiming, EachPassAsksThePortForTheBytesStillMissing) {
  port.answerNextFrame({{7ms, {3}}, {12ms, {0x11, 2}}, {16ms, {9}}});
  Link link = makeLink();
  link.OpenPort(setup);
  link.SendFrame(Bytes{3, 0x11});
  EXPECT_EQ(link.awaitReply(4, 1, WaitRule{}), WaitResult::Arrived);
  EXPECT_EQ(port.bytesWaitedFor(), (std::vector<std::size_t>{4, 4, 3, 1}));
  link.ClosePort();
}

struct GiveUp {
  const char* name;
  WaitRule rule;
  int limit;
  std::chrono::milliseconds earliest;
  std::chrono::milliseconds latest;
};

class GivingUp : public ReplyTiming, public ::testing::WithParamInterface<GiveUp> {};

// Over all phases the wait gives up within its window, and both ends of the window are reached:
// a wait that ignored the rounding would sit at one end only.
TEST_P(GivingUp, WithinItsWindowForEveryPhase) {
  const GiveUp& c = GetParam();
  auto shortest = std::chrono::nanoseconds::max();
  auto longest = std::chrono::nanoseconds::min();
  for (auto phase = 0ms; phase < 1000ms; phase += 1ms) {
    const auto [result, waited] = waitFrom(phase, c.limit, c.rule);
    ASSERT_EQ(result, WaitResult::TimedOut);
    shortest = std::min(shortest, waited);
    longest = std::max(longest, waited);
  }
  EXPECT_GE(shortest, c.earliest);
  EXPECT_LE(shortest, c.earliest + 2 * kSlice);
  EXPECT_LE(longest, c.latest + kSlice);
  EXPECT_GE(longest, c.latest - 2 * kSlice);
}

using R = WaitRule;
INSTANTIATE_TEST_SUITE_P(
    Rules, GivingUp,
    ::testing::Values(
        GiveUp{"Plain1", {}, 1, 1000ms, 2000ms}, GiveUp{"Plain3", {}, 3, 3000ms, 4000ms},
        GiveUp{"ReachesFive",
               {R::Reading::WholeSeconds, R::Expiry::Reaches, R::Order::CountFirst},
               5,
               4000ms,
               5000ms},
        GiveUp{"FractionsExceed", {R::Reading::Fractions, R::Expiry::Exceeds}, 1, 1000ms, 1000ms},
        GiveUp{"FractionsReach", {R::Reading::Fractions, R::Expiry::Reaches}, 3, 3000ms, 3000ms}),
    [](const auto& info) { return std::string(info.param.name); });

// Bytes already waiting are taken before any turn of the host's loop when the count comes
// first; the plain wait tests the clock and turns the loop once before counting.
TEST_F(LinkTest, CountFirstTakesWaitingBytesWithoutATurn) {
  for (const auto order : {WaitRule::Order::CountFirst, WaitRule::Order::ClockFirst}) {
    pumpTurns = 0;
    Link link = makeLink();
    link.OpenPort(setup);
    port.arriveNow({3, 1, 2, 3, 4, 5, 6});
    const WaitRule rule{.order = order};
    EXPECT_EQ(link.awaitReply(6, 3, rule), WaitResult::Arrived);
    EXPECT_EQ(pumpTurns, order == WaitRule::Order::CountFirst ? 0 : 1);
    link.ClosePort();
  }
}

TEST(WholeSeconds, RoundsHalfToEven) {
  using std::chrono::nanoseconds;
  const std::pair<int64_t, int64_t> cases[] = {{0, 0},
                                               {499'999'999, 0},
                                               {500'000'000, 0},
                                               {500'000'001, 1},
                                               {1'500'000'000, 2},
                                               {2'500'000'000, 2},
                                               {2'500'000'001, 3},
                                               {-500'000'000, 0},
                                               {-1'500'000'000, -2}};
  for (const auto& [ns, seconds] : cases) EXPECT_EQ(wholeSeconds(nanoseconds(ns)), seconds) << ns;
}

}  // namespace
}  // namespace solvard::serial::testing
