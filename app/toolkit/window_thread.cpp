#include "app/toolkit/window_thread.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <condition_variable>
#include <exception>
#include <mutex>

namespace tk {

namespace {

// One call handed to the window thread, and the caller's wait for it. It
// lives on the caller's stack: the caller cannot return before it is done.
struct Task {
  const std::function<void()>* call;
  std::mutex lock;
  std::condition_variable finished;
  bool done = false;
  std::exception_ptr failure;
  Task* next = nullptr;
};

// Calls go through a queue of our own and Qt only carries a wake-up that
// holds no data: ThreadSanitizer then sees every hand-over through the
// queue's mutex, which it cannot see inside Debian's uninstrumented Qt.
// The queue links the callers' tasks, so a hand-over needs no heap memory
// of its own.
std::mutex queueLock;
Task* first = nullptr;
Task* last = nullptr;

void RunNextTask() {
  Task* task;
  {
    std::lock_guard guard(queueLock);
    task = first;
    if (task == nullptr) return;
    first = task->next;
    if (first == nullptr) last = nullptr;
  }
  // Exceptions must not unwind through Qt's event dispatch: carry them back
  // to the caller instead.
  std::exception_ptr failure;
  try {
    (*task->call)();
  } catch (...) {
    failure = std::current_exception();
  }
  std::lock_guard guard(task->lock);
  // Moved, not copied, both ways: the exception's reference count is then
  // only ever changed by the thread that holds it.
  task->failure = std::move(failure);
  task->done = true;
  task->finished.notify_all();
}

}  // namespace

bool OnWindowThread() {
  const QCoreApplication* app = QCoreApplication::instance();
  return app == nullptr || QThread::currentThread() == app->thread();
}

void RunOnWindowThread(const std::function<void()>& call) {
  if (OnWindowThread()) {
    call();
    return;
  }
  Task task;
  task.call = &call;
  {
    std::lock_guard guard(queueLock);
    (last == nullptr ? first : last->next) = &task;
    last = &task;
  }
  // One wake-up per task, each running the oldest task: calls land in the
  // order they were queued.
  QMetaObject::invokeMethod(QCoreApplication::instance(), [] { RunNextTask(); }, Qt::QueuedConnection);
  std::exception_ptr failure;
  {
    std::unique_lock guard(task.lock);
    task.finished.wait(guard, [&] { return task.done; });
    failure = std::move(task.failure);
  }
  if (failure) std::rethrow_exception(failure);
}

}  // namespace tk
