// std::thread's shape for tests, on platform::OsThread: GCC 12's library for
// the win32 thread model, which the Windows build uses, has no std::thread.
// RunAsync stands for std::async(std::launch::async, ...), which that
// library lacks too. Locks and conditions come from platform/lock.h.
// Threads: a TestThread is joined by the thread that made it.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

#include "platform/lock.h"
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

// The result of a function run on a thread of its own.
template <class T>
class AsyncResult {
 public:
  template <class Function>
  explicit AsyncResult(Function&& function) : shared_(std::make_shared<Shared>()) {
    thread_ = TestThread([shared = shared_, function = std::forward<Function>(function)]() mutable {
      T value = function();
      platform::LockGuard guard(shared->lock);
      shared->value.emplace(std::move(value));
      shared->done.NotifyAll();
    });
  }
  // True once the function has returned; waits at most ms for it.
  bool ReadyWithin(uint32_t ms) {
    platform::UniqueLock guard(shared_->lock);
    return shared_->done.WaitFor(guard, ms, [&] { return shared_->value.has_value(); });
  }
  T get() {
    thread_.join();
    return std::move(*shared_->value);
  }

 private:
  struct Shared {
    platform::Mutex lock;
    platform::ConditionVariable done;
    std::optional<T> value;
  };
  std::shared_ptr<Shared> shared_;
  TestThread thread_;
};

template <class Function>
auto RunAsync(Function&& function) {
  return AsyncResult<decltype(function())>(std::forward<Function>(function));
}

inline TestThread::Id ThisThreadId() { return platform::CurrentThreadId(); }

}  // namespace zx_test
