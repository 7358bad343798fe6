#include <gtest/gtest.h>

#include <atomic>
#include <chrono>

#include "platform/lock.h"
#include "platform/thread.h"
#include "tests/support/test_thread.h"

namespace {

// Woken again and again, a timed wait still lasts its whole length: the
// millisecond ticks it counts by must not end it early. (Windows counts by
// the system's own tick, which is coarser: there a wait may end up to a
// tick early, as the system's own timed waits do.)
TEST(ConditionVariable, TimedWaitLastsItsWholeLengthThroughWakeUps) {
  platform::Mutex lock;
  platform::ConditionVariable changed;
  std::atomic<bool> stop{false};
  zx_test::TestThread waker([&] {
    while (!stop.load()) {
      changed.NotifyAll();
      platform::SleepMs(0);
    }
  });
  for (int round = 0; round < 20; ++round) {
    platform::UniqueLock guard(lock);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(changed.WaitFor(guard, 5, [] { return false; }));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(5)) << "round " << round;
  }
  stop = true;
  waker.join();
}

}  // namespace
