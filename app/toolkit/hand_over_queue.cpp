#include "app/toolkit/hand_over_queue.h"

#include <exception>
#include <memory>
#include <vector>

#include "app/toolkit/window_thread.h"
#include "platform/lock.h"

namespace tk {

namespace {

// One call handed to the window thread, and the caller's wait for it. A
// waited-for task lives on the caller's stack (the caller cannot return
// before it is done); a posted one is owned by the queue and deleted once run.
struct Task {
  const std::function<void()>* call = nullptr;
  std::function<void()> posted;  // a posted call; nobody waits
  platform::Mutex lock;
  platform::ConditionVariable finished;
  bool done = false;
  std::exception_ptr failure;
  Task* next = nullptr;
};

// A waited-for call the window thread is running now. Calls nest when one
// of them turns a message loop (a box): the innermost is first.
struct Running {
  Task* task;
  Running* outer;
  bool answered = false;  // its waiter was let go early; the task may be gone
};

// Every hand-over goes through this queue's mutex, where ThreadSanitizer
// sees it. The queue links the callers' tasks, so a hand-over needs no heap
// memory of its own.
platform::Mutex queueLock;
Task* first = nullptr;       // guarded by queueLock
Task* last = nullptr;        // guarded by queueLock
Running* running = nullptr;  // guarded by queueLock
bool windowGone = false;     // guarded by queueLock

// The waiter may return (and its task go) as soon as the lock is released.
void Finish(Task& task, std::exception_ptr failure) {
  platform::LockGuard guard(task.lock);
  // Moved, not copied, both ways: the exception's reference count is then
  // only ever changed by the thread that holds it.
  task.failure = std::move(failure);
  task.done = true;
  task.finished.NotifyAll();
}

// One wake-up per task, each running the oldest task: calls land in the
// order they were queued. Once the window is gone nothing is queued (false).
bool Enqueue(Task& task) {
  if (!WindowThreadReachable()) return false;
  {
    platform::LockGuard guard(queueLock);
    if (windowGone) return false;
    (last == nullptr ? first : last->next) = &task;
    last = &task;
  }
  WakeWindowThread();
  return true;
}

}  // namespace

void RunNextHandOver() {
  Task* task;
  {
    platform::LockGuard guard(queueLock);
    task = first;
    if (task == nullptr) return;
    first = task->next;
    if (first == nullptr) last = nullptr;
  }
  if (task->posted) {
    const std::unique_ptr<Task> owned(task);
    owned->posted();  // noexcept in effect: an exception here terminates
    return;
  }
  Running frame{task, nullptr};
  {
    platform::LockGuard guard(queueLock);
    frame.outer = running;
    running = &frame;
  }
  // Exceptions must not unwind through the message loop's dispatch: carry
  // them back to the caller instead.
  std::exception_ptr failure;
  try {
    (*task->call)();
  } catch (...) {
    failure = std::current_exception();
  }
  {
    platform::LockGuard guard(queueLock);
    running = frame.outer;
    if (frame.answered) return;
  }
  Finish(*task, std::move(failure));
}

void PostToWindowThread(std::function<void()> call) {
  auto task = std::make_unique<Task>();
  task->posted = std::move(call);
  if (Enqueue(*task)) task.release();  // the queue owns it now
}

void RunOnWindowThread(const std::function<void()>& call) {
  if (OnWindowThread()) {
    call();
    return;
  }
  Task task;
  task.call = &call;
  if (!Enqueue(task)) return;
  std::exception_ptr failure;
  {
    platform::UniqueLock guard(task.lock);
    task.finished.Wait(guard, [&] { return task.done; });
    failure = std::move(task.failure);
  }
  if (failure) std::rethrow_exception(failure);
}

void AbandonWindow() {
  Task* skipped;
  std::vector<Task*> inProgress;
  {
    platform::LockGuard guard(queueLock);
    windowGone = true;
    skipped = first;
    first = last = nullptr;
    // Only the window thread itself may let the callers of the calls it is
    // inside go: it never returns into them (window_thread.h).
    if (OnWindowThread())
      for (Running* frame = running; frame != nullptr; frame = frame->outer) {
        frame->answered = true;
        inProgress.push_back(frame->task);
      }
  }
  for (Task* task : inProgress) Finish(*task, nullptr);
  while (skipped != nullptr) {
    Task* task = skipped;
    skipped = task->next;  // before Finish: a waiter's task goes with it
    if (task->posted)
      delete task;
    else
      Finish(*task, nullptr);
  }
}

bool WindowAbandoned() {
  platform::LockGuard guard(queueLock);
  return windowGone;
}

}  // namespace tk
