// What the Windows threads add to the shared OsThread tests: the priority
// the body runs at from its first instruction.
#include <gtest/gtest.h>

#include <atomic>

#include "platform/thread.h"
#include "platform/win32/windows_api.h"

namespace {

struct PriorityCase {
  platform::ThreadPriority asked;
  int system;
};

class Win32ThreadPriority : public ::testing::TestWithParam<PriorityCase> {};

TEST_P(Win32ThreadPriority, BodyStartsAtThePriorityAskedFor) {
  std::atomic<int> seen{THREAD_PRIORITY_ERROR_RETURN};
  auto thread =
      platform::OsThread::Start([&] { seen = ::GetThreadPriority(::GetCurrentThread()); }, GetParam().asked);
  ASSERT_NE(thread, nullptr);
  ASSERT_TRUE(thread->Join(10000));
  EXPECT_EQ(seen.load(), GetParam().system);
}

INSTANTIATE_TEST_SUITE_P(
    Priorities, Win32ThreadPriority,
    ::testing::Values(PriorityCase{platform::ThreadPriority::Normal, THREAD_PRIORITY_NORMAL},
                      PriorityCase{platform::ThreadPriority::AboveNormal, THREAD_PRIORITY_ABOVE_NORMAL}));

}  // namespace
