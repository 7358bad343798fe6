#include "app/toolkit/window_thread.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>

namespace tk {

namespace {

// One call handed to the window thread, and the caller's wait for it.
struct Task {
  const std::function<void()>* call;
  std::function<void()> posted;  // a posted call, owned here; nobody waits
  std::mutex lock;
  std::condition_variable finished;
  bool done = false;
  std::exception_ptr failure;
};

// Calls go through a queue of our own and Qt only carries a wake-up that
// holds no data: ThreadSanitizer then sees every hand-over through the
// queue's mutex, which it cannot see inside Debian's uninstrumented Qt.
std::mutex queueLock;
std::deque<std::shared_ptr<Task>> queue;
bool windowGone = false;  // guarded by queueLock

void Finish(Task& task, std::exception_ptr failure) {
  std::lock_guard guard(task.lock);
  // Moved, not copied, both ways: the exception's reference count is then
  // only ever changed by the thread that holds it.
  task.failure = std::move(failure);
  task.done = true;
  task.finished.notify_all();
}

void RunNextTask() {
  std::shared_ptr<Task> task;
  {
    std::lock_guard guard(queueLock);
    if (queue.empty()) return;
    task = std::move(queue.front());
    queue.pop_front();
  }
  // Exceptions must not unwind through Qt's event dispatch: carry them back
  // to the caller instead.
  if (task->posted) {
    task->posted();  // noexcept in effect: an exception here terminates
    return;
  }
  std::exception_ptr failure;
  try {
    (*task->call)();
  } catch (...) {
    failure = std::current_exception();
  }
  Finish(*task, std::move(failure));
}

// One wake-up per task, each running the oldest task: calls land in the
// order they were queued. Once the window is gone nothing is queued (false).
bool Enqueue(std::shared_ptr<Task> task) {
  {
    std::lock_guard guard(queueLock);
    if (windowGone) return false;
    queue.push_back(std::move(task));
  }
  QMetaObject::invokeMethod(
      QCoreApplication::instance(), [] { RunNextTask(); }, Qt::QueuedConnection);
  return true;
}

}  // namespace

bool OnWindowThread() {
  const QCoreApplication* app = QCoreApplication::instance();
  return app == nullptr || QThread::currentThread() == app->thread();
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
