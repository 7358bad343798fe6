// The hand-over to the window thread: calls go through a queue of our own,
// and a message posted to the hand-over window carries only a wake-up.
// Posted messages reach that window also while a modal loop runs (a message
// box, a menu), so a hand-over never waits for the operator.
#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>

#include "app/toolkit/win32/win32_native.h"
#include "app/toolkit/window_thread.h"

namespace tk {

namespace {

struct Task {
  const std::function<void()>* call = nullptr;
  std::function<void()> posted;  // a posted call, owned here; nobody waits
  std::mutex lock;
  std::condition_variable finished;
  bool done = false;
  std::exception_ptr failure;
};

std::mutex queueLock;
std::deque<std::shared_ptr<Task>> queue;
bool windowGone = false;  // guarded by queueLock

void Finish(Task& task, std::exception_ptr failure) {
  std::lock_guard guard(task.lock);
  task.failure = std::move(failure);
  task.done = true;
  task.finished.notify_all();
}

// One wake-up per task, each running the oldest task: calls land in the
// order they were queued. Once the window is gone nothing is queued (false).
bool Enqueue(std::shared_ptr<Task> task) {
  {
    std::lock_guard guard(queueLock);
    if (windowGone) return false;
    queue.push_back(std::move(task));
  }
  ::PostMessageW(HandOverWindow(), WM_ZX_HANDOVER, 0, 0);
  return true;
}

}  // namespace

void RunNextHandOver() {
  std::shared_ptr<Task> task;
  {
    std::lock_guard guard(queueLock);
    if (queue.empty()) return;
    task = std::move(queue.front());
    queue.pop_front();
  }
  if (task->posted) {
    task->posted();  // noexcept in effect: an exception here terminates
    return;
  }
  // Exceptions must not unwind through the system's message dispatch:
  // carry them back to the caller instead.
  std::exception_ptr failure;
  try {
    (*task->call)();
  } catch (...) {
    failure = std::current_exception();
  }
  Finish(*task, std::move(failure));
}

bool OnWindowThread() {
  const HWND window = HandOverWindow();
  return window == nullptr || ::GetWindowThreadProcessId(window, nullptr) == ::GetCurrentThreadId();
}

void PostToWindowThread(std::function<void()> call) {
  auto task = std::make_shared<Task>();
  task->posted = std::move(call);
  Enqueue(std::move(task));
}

void RunOnWindowThread(const std::function<void()>& call) {
  if (OnWindowThread()) {
    call();
    return;
  }
  auto task = std::make_shared<Task>();
  task->call = &call;
  if (!Enqueue(task)) return;
  std::exception_ptr failure;
  {
    std::unique_lock guard(task->lock);
    task->finished.wait(guard, [&] { return task->done; });
    failure = std::move(task->failure);
  }
  if (failure) std::rethrow_exception(failure);
}

void AbandonWindow() {
  std::deque<std::shared_ptr<Task>> skipped;
  {
    std::lock_guard guard(queueLock);
    windowGone = true;
    skipped.swap(queue);
  }
  for (const auto& task : skipped) Finish(*task, nullptr);
}

bool WindowAbandoned() {
  std::lock_guard guard(queueLock);
  return windowGone;
}

}  // namespace tk
