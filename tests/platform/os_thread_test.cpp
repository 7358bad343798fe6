#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>

#include "platform/lock.h"
#include "platform/thread.h"

namespace {

using Clock = std::chrono::steady_clock;

// A body that blocks until released, to stand for a hung drive call.
struct Gate {
  platform::Mutex lock;
  platform::ConditionVariable opened;
  bool open = false;
  void Open() {
    platform::LockGuard guard(lock);
    open = true;
    opened.NotifyAll();
  }
  void Wait() {
    platform::UniqueLock guard(lock);
    opened.Wait(guard, [&] { return open; });
  }
};

TEST(OsThread, RunsTheBodyAndJoinsWhenItReturns) {
  std::atomic<int> runs{0};
  auto thread = platform::OsThread::Start([&] { runs++; });
  ASSERT_NE(thread, nullptr);
  EXPECT_TRUE(thread->Join(5000));
  EXPECT_TRUE(thread->Finished());
  EXPECT_EQ(runs.load(), 1);
}

TEST(OsThread, JoinGivesUpAfterItsTimeOutWhileTheBodyRuns) {
  auto gate = std::make_shared<Gate>();
  auto thread = platform::OsThread::Start([gate] { gate->Wait(); }, platform::ThreadPriority::AboveNormal);
  ASSERT_NE(thread, nullptr);
  const auto start = Clock::now();
  EXPECT_FALSE(thread->Join(50));
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(45));
  EXPECT_FALSE(thread->Finished());
  gate->Open();
  EXPECT_TRUE(thread->Join(5000));
}

TEST(OsThread, AbandonedHungThreadNeitherBlocksItsOwnerNorOutlivesItsState) {
  auto gate = std::make_shared<Gate>();
  auto finished = std::make_shared<std::atomic<bool>>(false);
  auto thread = platform::OsThread::Start([gate, finished] {
    gate->Wait();
    finished->store(true);
  });
  ASSERT_NE(thread, nullptr);
  EXPECT_FALSE(thread->Join(10));
  thread->Abandon();
  const auto start = Clock::now();
  thread.reset();  // must not wait for the hung body
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(30));
  // The body runs on by itself and ends once released.
  gate->Open();
  for (int i = 0; i < 500 && !finished->load(); ++i) platform::SleepMs(10);
  EXPECT_TRUE(finished->load());
}

}  // namespace
