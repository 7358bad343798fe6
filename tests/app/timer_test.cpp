#include "app/toolkit/timer.h"

#include <gmock/gmock.h>

#include <QElapsedTimer>
#include <atomic>
#include <thread>
#include <vector>

#include "tests/support/window/event_wait.h"

namespace {

using testing_support::ProcessEventsUntil;

TEST(Timer, IntervalIsOneSecondUntilSetAndTimerStartsDisabled) {
  tk::Timer timer;
  EXPECT_EQ(timer.Interval(), 1000);
  EXPECT_FALSE(timer.Enabled());
  timer.SetEnabled(true);
  EXPECT_TRUE(timer.Enabled());
  EXPECT_EQ(timer.Interval(), 1000);
  timer.SetEnabled(false);
  EXPECT_FALSE(timer.Enabled());
}

TEST(Timer, TickRunsHandlerOnce) {
  tk::Timer timer;
  int ticks = 0;
  timer.OnTimer([&] { ++ticks; });
  timer.Tick();
  EXPECT_EQ(ticks, 1);
}

TEST(Timer, IntervalSetInsideHandlerSpacesTheFollowingTick) {
  tk::Timer timer;
  QElapsedTimer clock;
  std::vector<qint64> at;
  timer.OnTimer([&] {
    at.push_back(clock.elapsed());
    if (at.size() == 1) timer.SetInterval(400);
    if (at.size() == 2) timer.SetEnabled(false);
  });
  timer.SetInterval(20);
  clock.start();
  timer.SetEnabled(true);
  ASSERT_TRUE(ProcessEventsUntil([&] { return at.size() >= 2; }, 5000));
  EXPECT_EQ(timer.Interval(), 400);
  EXPECT_FALSE(timer.Enabled());
  EXPECT_GE(at[0], 15);
  EXPECT_LT(at[0], 380);  // the first tick still came after the short interval
  EXPECT_GE(at[1] - at[0], 390);
}

TEST(Timer, DisablingFromAnotherThreadStopsIt) {
  tk::Timer timer;
  timer.SetInterval(10);
  std::atomic<int> ticks{0};
  timer.OnTimer([&] { ++ticks; });
  timer.SetEnabled(true);
  ASSERT_TRUE(ProcessEventsUntil([&] { return ticks.load() > 0; }));

  std::atomic<bool> done{false};
  std::thread worker([&] {
    timer.SetEnabled(false);
    done = true;
  });
  ASSERT_TRUE(ProcessEventsUntil([&] { return done.load(); }));
  worker.join();
  EXPECT_FALSE(timer.Enabled());
  const int stoppedAt = ticks.load();
  ProcessEventsUntil([] { return false; }, 100);
  EXPECT_EQ(ticks.load(), stoppedAt);
}

}  // namespace
