#include "platform/event.h"
#include "platform/thread.h"
#include "tests/platform/system_traits.h"
#include "tests/support/test_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <set>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

class EventTest : public ::testing::Test {
 protected:
  EventService& events = SystemEvents();
};

TEST_F(EventTest, NewEventIsUnsignalledAndWaitTimesOutAfterAboutTheGivenTime) {
  const EventHandle h = events.CreateEvent();
  ASSERT_NE(h, NO_EVENT);
  const auto start = Clock::now();
  EXPECT_EQ(events.WaitForSingleObject(h, 60), WaitResult::TimedOut);
  const auto waited = Clock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(55));
  EXPECT_LT(waited, std::chrono::milliseconds(2000));
  EXPECT_TRUE(events.CloseHandle(h));
}

TEST_F(EventTest, OneSignalReleasesExactlyOneWait) {
  const EventHandle h = events.CreateEvent();
  ASSERT_TRUE(events.SetEvent(h));
  EXPECT_EQ(events.WaitForSingleObject(h, 0), WaitResult::Signalled);
  EXPECT_EQ(events.WaitForSingleObject(h, 0), WaitResult::TimedOut);  // auto-reset
  events.CloseHandle(h);
}

TEST_F(EventTest, ResetClearsAPendingSignal) {
  const EventHandle h = events.CreateEvent();
  events.SetEvent(h);
  ASSERT_TRUE(events.ResetEvent(h));
  EXPECT_EQ(events.WaitForSingleObject(h, 10), WaitResult::TimedOut);
  events.CloseHandle(h);
}

TEST_F(EventTest, SignalFromAnotherThreadWakesTheWaiterEarly) {
  const EventHandle h = events.CreateEvent();
  zx_test::TestThread setter([&] {
    platform::SleepMs(30);
    events.SetEvent(h);
  });
  const auto start = Clock::now();
  EXPECT_EQ(events.WaitForSingleObject(h, 10000), WaitResult::Signalled);
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(5000));
  setter.join();
  events.CloseHandle(h);
}

// Two threads hand a turn back and forth through two events many times: a
// signal lost between a waiter's look at its event and its sleep would
// stall the exchange until the wait runs out.
TEST_F(EventTest, TurnsHandedBackAndForthLoseNoSignal) {
  const EventHandle ping = events.CreateEvent();
  const EventHandle pong = events.CreateEvent();
  constexpr int kTurns = 20000;
  std::atomic<int> answered{0};
  zx_test::TestThread other([&] {
    for (int i = 0; i < kTurns; ++i) {
      if (events.WaitForSingleObject(ping, WAIT_INFINITE) != WaitResult::Signalled) return;
      answered.fetch_add(1);
      events.SetEvent(pong);
    }
  });
  int served = 0;
  while (served < kTurns) {
    events.SetEvent(ping);
    if (events.WaitForSingleObject(pong, 10000) != WaitResult::Signalled) break;
    ++served;
  }
  if (served < kTurns) events.CloseHandle(ping);  // ends the other side's wait
  other.join();
  EXPECT_EQ(served, kTurns);
  EXPECT_EQ(answered.load(), kTurns);
  events.CloseHandle(ping);
  events.CloseHandle(pong);
}

TEST_F(EventTest, ClosedHandleFailsEveryOperationAndLeavesNewEventsAlone) {
  const EventHandle old = events.CreateEvent();
  ASSERT_TRUE(events.CloseHandle(old));
  const EventHandle fresh = events.CreateEvent();
  EXPECT_NE(fresh, old);
  EXPECT_FALSE(events.SetEvent(old));
  EXPECT_EQ(MODULE_SET_EVENT(old), zx_test::LATE_MODULE_SIGNAL_RESULT);
  EXPECT_FALSE(events.ResetEvent(old));
  EXPECT_EQ(events.WaitForSingleObject(old, 0), WaitResult::Failed);
  EXPECT_FALSE(events.CloseHandle(old));
  // The late signals above must not have reached the new event.
  EXPECT_EQ(events.WaitForSingleObject(fresh, 0), WaitResult::TimedOut);
  events.CloseHandle(fresh);
}

TEST_F(EventTest, HandlesAreNotReusedAfterClosing) {
  std::set<EventHandle> seen;
  for (int i = 0; i < 1000; ++i) {
    const EventHandle h = events.CreateEvent();
    ASSERT_NE(h, NO_EVENT);
    EXPECT_TRUE(seen.insert(h).second) << "handle " << h << " handed out twice";
    events.CloseHandle(h);
  }
}

TEST_F(EventTest, ModuleEntryPointSignalsTheProcessTable) {
  const EventHandle h = events.CreateEvent();
  EXPECT_EQ(MODULE_SET_EVENT(h), 1);
  EXPECT_EQ(events.WaitForSingleObject(h, 0), WaitResult::Signalled);
  events.CloseHandle(h);
}

TEST_F(EventTest, OpenCountFollowsCreateAndClose) {
  const std::size_t before = events.OpenCount();
  const EventHandle a = events.CreateEvent();
  const EventHandle b = events.CreateEvent();
  EXPECT_EQ(events.OpenCount(), before + 2);
  events.CloseHandle(a);
  events.CloseHandle(a);
  EXPECT_EQ(events.OpenCount(), before + 1);
  events.CloseHandle(b);
  EXPECT_EQ(events.OpenCount(), before);
}

}  // namespace
