// GoogleTest's Notification for the Windows builds, whose compilers (the
// win32 thread model) have no std::mutex or std::condition_variable, the
// types GoogleTest's own version is made of. Forced into every file that
// GoogleTest is compiled into or used from (cmake/Windows.cmake), with
// GTEST_HAS_NOTIFICATION_ set so that GoogleTest takes this one. Only
// GoogleTest's thread helpers use it, for the start of a thread: a wait
// that sleeps in steps is all that needs.
// Threads: Notify from the controlling thread, WaitForNotification from others.
#pragma once

#include <atomic>

extern "C" __declspec(dllimport) void __stdcall Sleep(unsigned long milliseconds);

namespace testing::internal {

class Notification {
 public:
  Notification() = default;
  Notification(const Notification&) = delete;
  Notification& operator=(const Notification&) = delete;

  void Notify() { notified_.store(true); }
  void WaitForNotification() {
    while (!notified_.load()) Sleep(1);
  }

 private:
  std::atomic<bool> notified_{false};
};

}  // namespace testing::internal
