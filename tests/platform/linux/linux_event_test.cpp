// The Linux event table: its own slots, and a close that ends a wait.
#include "platform/event.h"
#include "platform/thread.h"
#include "tests/support/test_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <set>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

class LinuxEvents : public ::testing::Test {
 protected:
  EventService& events = SystemEvents();
};

// More events open at once than the table has slots: each still its own.
TEST_F(LinuxEvents, ManyOpenEventsStayApart) {
  const std::size_t before = events.OpenCount();
  std::vector<EventHandle> open;
  for (int i = 0; i < 600; ++i) open.push_back(events.CreateEvent());
  EXPECT_EQ(std::set<EventHandle>(open.begin(), open.end()).size(), open.size());
  EXPECT_EQ(events.OpenCount(), before + open.size());
  for (std::size_t i = 0; i < open.size(); i += 2) EXPECT_TRUE(events.SetEvent(open[i]));
  for (std::size_t i = 0; i < open.size(); ++i)
    EXPECT_EQ(events.WaitForSingleObject(open[i], 0), i % 2 == 0 ? WaitResult::Signalled : WaitResult::TimedOut)
        << "event " << i;
  for (const EventHandle h : open) EXPECT_TRUE(events.CloseHandle(h));
  EXPECT_EQ(events.OpenCount(), before);
}

TEST_F(LinuxEvents, ClosingAnEventEndsAWaitOnIt) {
  const EventHandle h = events.CreateEvent();
  std::atomic<bool> waiting{false};
  WaitResult result = WaitResult::Signalled;
  zx_test::TestThread waiter([&] {
    waiting = true;
    result = events.WaitForSingleObject(h, 60000);
  });
  while (!waiting) platform::SleepMs(0);
  platform::SleepMs(20);
  const auto start = Clock::now();
  events.CloseHandle(h);
  waiter.join();
  EXPECT_EQ(result, WaitResult::Failed);
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(30));
}

}  // namespace
