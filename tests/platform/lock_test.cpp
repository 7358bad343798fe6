#include <gtest/gtest.h>

#include <vector>

#include "platform/lock.h"
#include "tests/support/test_thread.h"

namespace {

// Long enough never to run out on a loaded machine; a lost wake-up shows
// as a wait that runs out all the same.
constexpr uint32_t kPatienceMs = 60000;

// Two threads hand a turn back and forth, each notifying one waiter: a
// notify that falls between a waiter's check and its sleep would stall the
// hand-over.
TEST(ConditionVariable, LosesNoWakeUpInAHandOver) {
  platform::Mutex lock;
  platform::ConditionVariable turned;
  int turn = 0;
  constexpr int kRounds = 2000;
  bool stalled = false;
  zx_test::TestThread other([&] {
    for (int i = 1; i < kRounds; i += 2) {
      platform::UniqueLock guard(lock);
      if (!turned.WaitFor(guard, kPatienceMs, [&] { return turn == i; })) stalled = true;
      turn = i + 1;
      turned.NotifyOne();
    }
  });
  for (int i = 0; i < kRounds; i += 2) {
    platform::UniqueLock guard(lock);
    ASSERT_TRUE(turned.WaitFor(guard, kPatienceMs, [&] { return turn == i; })) << "round " << i;
    turn = i + 1;
    turned.NotifyOne();
  }
  other.join();
  EXPECT_FALSE(stalled);
}

TEST(ConditionVariable, NotifyAllWakesEveryWaiterAndATimedWaitRunsOut) {
  platform::Mutex lock;
  platform::ConditionVariable changed;
  bool go = false;
  int waiting = 0, woken = 0;
  std::vector<zx_test::TestThread> waiters;
  for (int i = 0; i < 4; ++i)
    waiters.emplace_back([&] {
      platform::UniqueLock guard(lock);
      ++waiting;
      changed.NotifyAll();
      if (changed.WaitFor(guard, kPatienceMs, [&] { return go; })) ++woken;
    });
  {
    platform::UniqueLock guard(lock);
    ASSERT_TRUE(changed.WaitFor(guard, kPatienceMs, [&] { return waiting == 4; }));
    EXPECT_FALSE(changed.WaitFor(guard, 20, [] { return false; }));
    go = true;
    changed.NotifyAll();
  }
  for (auto& waiter : waiters) waiter.join();
  EXPECT_EQ(woken, 4);
}

}  // namespace
