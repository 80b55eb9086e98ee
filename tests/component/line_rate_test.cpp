#include "serial/posix/line_rate.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <vector>

#include "component/attend.hpp"
#include "component/dispatch.hpp"
#include "component/library_line.hpp"
#include "component/prohibit.hpp"
#include "serial/host_link.hpp"
#include "serial/shared_port.hpp"
#include "support/pty_pair.hpp"

namespace solvard::component {
namespace {

using namespace std::chrono_literals;
using automation::Variant;

// Both classes on the library's own port, mapped to a pseudo-terminal whose far end the test
// plays without answering. Reply waits run in virtual time: each turn of the host's loop moves
// the clock on and takes what reached the far end, with the rate the line ran at.
class RateOnTheLine : public ::testing::Test {
 protected:
  static constexpr int16_t kPort = 44;

  struct Seen {
    serial::Bytes bytes;
    uint32_t rate;
    friend bool operator==(const Seen&, const Seen&) = default;
  };

  void SetUp() override {
    component::mapPortDevice(kPort, pty.path());
    savedPort_ =
        component::replaceSharedPort(serial::makePlatformPort(&component::libraryPortDevices()));
    savedHooks_ = component::libraryHooks();
    component::libraryHooks() = {.pump = [this] { turn(); },
                                 .reporter = [](int32_t) {},
                                 .clock = &clock,
                                 .slice = 2ms,
                                 .stopRequested = {}};
    attend.setCommPortID(kPort);
    prohibit.setCommPortID(kPort);
  }
  void TearDown() override {
    component::replaceSharedPort(std::move(savedPort_));
    component::libraryHooks() = savedHooks_;
    component::unmapPortDevice(kPort);
  }

  void turn() {
    clock.advance(100ms);
    uint8_t bytes[64];
    const ssize_t n = ::read(pty.farEnd(), bytes, sizeof bytes);
    if (n > 0)
      seen.push_back({serial::Bytes(bytes, bytes + n), *serial::posix::lineRate(pty.farEnd())});
  }

  // The error number the host gets for `member` of `object` on terminal 3, 0 for none.
  int32_t call(DispatchObject& object, const char* member) {
    std::vector<Variant> args{Variant(3)};
    const DispatchResult r = tryInvoke(object, member, MemberKind::Method, args);
    return r.error ? r.error->number() : 0;
  }

  solvard::testing::PtyPair pty;
  serial::ManualClock clock{5000s};
  Attend attend;
  Prohibit prohibit;
  std::vector<Seen> seen;

 private:
  std::unique_ptr<serial::PortControl> savedPort_;
  component::LibraryHooks savedHooks_;
};

TEST_F(RateOnTheLine, RatesBetweenTheFixedSpeedsReachTheLineForBothClasses) {
  for (const int16_t rate : {14400, 28800}) {
    attend.setCommBautRate(rate);
    prohibit.setCommBautRate(rate);
    EXPECT_EQ(call(attend, "ClearMacData"), 0);
    EXPECT_EQ(call(prohibit, "OpenLock"), 0);
  }
  const std::vector<Seen> expected{
      {{3, 2, 6}, 14400}, {{3, 0x11}, 14400}, {{3, 2, 6}, 28800}, {{3, 0x11}, 28800}};
  EXPECT_EQ(seen, expected);
}

// A rate the port refuses reaches the host as the refused setting it is (380), and the command
// is not sent at the rate the line had before.
TEST_F(RateOnTheLine, ARefusedRateIsRaisedAndNothingGoesOutAtThePreviousRate) {
  attend.setCommBautRate(19200);
  prohibit.setCommBautRate(19200);
  ASSERT_EQ(call(attend, "ClearMacData"), 0);
  ASSERT_EQ(call(prohibit, "OpenLock"), 0);
  ASSERT_EQ(seen.size(), 2u);
  seen.clear();

  attend.setCommBautRate(-14400);
  prohibit.setCommBautRate(-14400);
  EXPECT_EQ(call(attend, "ClearMacData"), 380);
  EXPECT_EQ(call(prohibit, "OpenLock"), 380);
  for (int i = 0; i < 20; ++i) turn();
  EXPECT_EQ(seen.size(), 0u);
}

}  // namespace
}  // namespace solvard::component
