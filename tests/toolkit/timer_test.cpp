#include "app/toolkit/timer.h"

#include <gmock/gmock.h>

#include <atomic>
#include <chrono>
#include <vector>

#include "tests/support/test_thread.h"
#include "tests/support/toolkit/toolkit_driver.h"

namespace {

using toolkit_test::TurnEventLoopUntil;

TEST(ToolkitTimer, IntervalIsOneSecondUntilSetAndTimerStartsDisabled) {
  tk::Timer timer;
  EXPECT_EQ(timer.Interval(), 1000);
  EXPECT_FALSE(timer.Enabled());
  timer.SetEnabled(true);
  EXPECT_TRUE(timer.Enabled());
  EXPECT_EQ(timer.Interval(), 1000);
  timer.SetEnabled(false);
  EXPECT_FALSE(timer.Enabled());
}

TEST(ToolkitTimer, TickRunsHandlerOnce) {
  tk::Timer timer;
  int ticks = 0;
  timer.OnTimer([&] { ++ticks; });
  timer.Tick();
  EXPECT_EQ(ticks, 1);
}

TEST(ToolkitTimer, IntervalSetInsideHandlerSpacesTheFollowingTick) {
  using Clock = std::chrono::steady_clock;
  tk::Timer timer;
  std::vector<Clock::time_point> at;
  timer.OnTimer([&] {
    at.push_back(Clock::now());
    if (at.size() == 1) timer.SetInterval(400);
    if (at.size() == 2) timer.SetEnabled(false);
  });
  timer.SetInterval(20);
  timer.SetEnabled(true);
  ASSERT_TRUE(TurnEventLoopUntil([&] { return at.size() >= 2; }));
  EXPECT_EQ(timer.Interval(), 400);
  EXPECT_FALSE(timer.Enabled());
  // Far above the old 20 ms, with room for a system clock coarser than a millisecond.
  EXPECT_GE(at[1] - at[0], std::chrono::milliseconds(370));
}

TEST(ToolkitTimer, DisablingFromAnotherThreadStopsIt) {
  tk::Timer timer;
  timer.SetInterval(10);
  std::atomic<int> ticks{0};
  timer.OnTimer([&] { ++ticks; });
  timer.SetEnabled(true);
  ASSERT_TRUE(TurnEventLoopUntil([&] { return ticks.load() > 0; }));

  std::atomic<bool> done{false};
  zx_test::TestThread worker([&] {
    timer.SetEnabled(false);
    done = true;
  });
  ASSERT_TRUE(TurnEventLoopUntil([&] { return done.load(); }));
  worker.join();
  EXPECT_FALSE(timer.Enabled());
  const int stoppedAt = ticks.load();
  TurnEventLoopUntil([] { return false; }, 100);
  EXPECT_EQ(ticks.load(), stoppedAt);
}

}  // namespace
