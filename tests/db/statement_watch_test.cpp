#include "db/statement_watch.hpp"

#include <gtest/gtest.h>

#include <future>

namespace solvard::db {
namespace {

using std::chrono::hours;
using std::chrono::milliseconds;
using std::chrono::seconds;

// The rules, driven with made-up times; each cut counts how often it ran.
class WatchRules : public ::testing::Test {
 protected:
  WatchList::Cut counting(int& cuts) {
    return [&cuts] { ++cuts; };
  }

  WatchList calls_;
  const WatchList::Clock::time_point start_{seconds(1000)};
};

TEST_F(WatchRules, ACallThatReturnsInTimeIsNeverCut) {
  int cuts = 0;
  const uint64_t call = calls_.arm(start_ + seconds(6), counting(cuts));
  EXPECT_EQ(calls_.fireDue(start_ + milliseconds(5999)), start_ + seconds(6));
  EXPECT_EQ(cuts, 0);
  EXPECT_FALSE(calls_.disarm(call));
  EXPECT_EQ(calls_.fireDue(start_ + hours(1)), std::nullopt);
  EXPECT_EQ(cuts, 0);
}

TEST_F(WatchRules, ACallPastItsDeadlineIsCutOnceAndLearnsItWhenItReturns) {
  int cuts = 0;
  const uint64_t call = calls_.arm(start_ + seconds(6), counting(cuts));
  EXPECT_EQ(calls_.fireDue(start_ + seconds(6)), std::nullopt);
  EXPECT_EQ(calls_.fireDue(start_ + seconds(7)), std::nullopt);
  EXPECT_EQ(cuts, 1);
  EXPECT_TRUE(calls_.disarm(call));
  // Its ticket is spent: the next call on the session arms afresh.
  EXPECT_FALSE(calls_.disarm(call));
}

TEST_F(WatchRules, EachCallIsCutAtItsOwnDeadline) {
  int longCuts = 0;
  int shortCuts = 0;
  const uint64_t longCall = calls_.arm(start_ + seconds(35), counting(longCuts));
  const uint64_t shortCall = calls_.arm(start_ + seconds(3), counting(shortCuts));
  EXPECT_NE(longCall, shortCall);
  EXPECT_EQ(calls_.fireDue(start_ + seconds(4)), start_ + seconds(35));
  EXPECT_EQ(shortCuts, 1);
  EXPECT_EQ(longCuts, 0);
  EXPECT_FALSE(calls_.disarm(longCall));
  EXPECT_TRUE(calls_.disarm(shortCall));
  EXPECT_EQ(calls_.fireDue(start_ + hours(1)), std::nullopt);
  EXPECT_EQ(longCuts, 0);
}

TEST(Watchdog, ItsThreadCutsACallPastItsBound) {
  Watchdog watchdog;
  std::promise<void> cut;
  const uint64_t call = watchdog.arm(milliseconds(0), [&cut] { cut.set_value(); });
  ASSERT_EQ(cut.get_future().wait_for(seconds(10)), std::future_status::ready);
  EXPECT_TRUE(watchdog.disarm(call));
}

TEST(Watchdog, ACallDisarmedOrStillArmedWhenItEndsIsNeverCut) {
  int cuts = 0;
  {
    Watchdog watchdog;
    const uint64_t returned = watchdog.arm(hours(1), [&cuts] { ++cuts; });
    EXPECT_FALSE(watchdog.disarm(returned));
    watchdog.arm(hours(1), [&cuts] { ++cuts; });
  }
  EXPECT_EQ(cuts, 0);
}

}  // namespace
}  // namespace solvard::db
