// std::thread's shape for tests, on platform::OsThread: GCC 12's library for
// the win32 thread model, which the Windows build uses, has no std::thread.
// Locks and conditions come from platform/lock.h.
// Threads: a TestThread is joined by the thread that made it.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <utility>

#include "platform/thread.h"

namespace zx_test {

class TestThread {
 public:
  using Id = uintptr_t;

  TestThread() = default;
  template <class Function, class... Args>
  explicit TestThread(Function&& function, Args&&... args)
      : thread_(platform::OsThread::Start(std::bind(std::forward<Function>(function), std::forward<Args>(args)...))) {
    if (thread_ == nullptr) std::abort();  // a test without its thread proves nothing
  }

  bool joinable() const { return thread_ != nullptr; }
  void join() { thread_.reset(); }  // the destructor waits for the body

 private:
  std::unique_ptr<platform::OsThread> thread_;
};

inline TestThread::Id ThisThreadId() { return platform::CurrentThreadId(); }

}  // namespace zx_test
