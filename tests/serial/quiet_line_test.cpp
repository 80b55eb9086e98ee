// Waiting for a quiet line drops what arrives unasked and ends only once nothing has come for the
// quiet time, or when the limit passes, or when the host stops it: in virtual time, so the exact
// moment it ends and the exact count it dropped are checked.
#include <optional>

#include "link_fixture.hpp"

namespace solvard::serial::testing {
namespace {

struct QuietCase {
  const char* name;
  // Three bytes arrive at each of these times after the wait began.
  std::vector<std::chrono::milliseconds> arrivals;
  std::optional<std::chrono::milliseconds> stopAt;
  QuietWait::End end;
  std::size_t dropped;
  std::chrono::milliseconds endedAt;
};

std::vector<std::chrono::milliseconds> every(std::chrono::milliseconds step,
                                             std::chrono::milliseconds until) {
  std::vector<std::chrono::milliseconds> times;
  for (auto at = 0ms; at < until; at += step) times.push_back(at);
  return times;
}

class QuietLine : public LinkTest, public ::testing::WithParamInterface<QuietCase> {};

TEST_P(QuietLine, DropsWhatArrivesUntilNothingCameForTheQuietTime) {
  const QuietCase& c = GetParam();
  Link link = makeLink();
  ASSERT_EQ(link.OpenPort(setup), OpenResult::Opened);
  const auto start = clock.now();
  for (const auto at : c.arrivals) port.arriveAfter(at, {0x14, 0x01, 0x02});
  const auto stop = [&] { return c.stopAt && clock.now() - start >= *c.stopAt; };
  const QuietWait wait = link.awaitQuiet(100ms, 1s, stop);
  EXPECT_EQ(wait.end, c.end);
  EXPECT_EQ(wait.dropped, c.dropped);
  EXPECT_EQ(clock.now() - start, c.endedAt);
  EXPECT_TRUE(port.buffered().empty());
  EXPECT_TRUE(port.framesWritten().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Link, QuietLine,
    ::testing::Values(
        QuietCase{"NothingComes", {}, std::nullopt, QuietWait::End::Quiet, 0, 100ms},
        // The last bytes at 120 ms: quiet from 220 ms on.
        QuietCase{"AStreamThatEnds",
                  {0ms, 40ms, 80ms, 120ms},
                  std::nullopt,
                  QuietWait::End::Quiet,
                  12,
                  220ms},
        // A gap just short of the quiet time does not end the wait.
        QuietCase{"AGapShorterThanTheQuietTime",
                  {0ms, 95ms, 190ms},
                  std::nullopt,
                  QuietWait::End::Quiet,
                  9,
                  290ms},
        // Bytes every 50 ms for two seconds: at the limit, those up to 1 s are dropped.
        QuietCase{"StillComingAtTheLimit", every(50ms, 2s), std::nullopt,
                  QuietWait::End::StillReceiving, 63, 1000ms},
        QuietCase{"TheHostStops", every(10ms, 2s), 30ms, QuietWait::End::Stopped, 12, 30ms}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace solvard::serial::testing
