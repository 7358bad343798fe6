#include "platform/thread_class.h"

namespace platform {

Thread::Thread() : shared_(std::make_shared<Shared>()) {}

Thread::~Thread() { WaitFor(); }

void Thread::SetFreeOnTerminate(bool free) { freeOnTerminate_ = free; }

bool Thread::Start() {
  if (started_) return false;
  {
    LockGuard guard(shared_->lock);
    shared_->running = true;
  }
  // The new thread may finish, and with free-on-terminate delete this object,
  // before OsThread::Start returns here: decide everything about the handle
  // first, and touch no member after starting a self-deleting run.
  const bool free = freeOnTerminate_;
  const std::shared_ptr<Shared> shared = shared_;
  started_ = true;
  std::unique_ptr<OsThread> thread = OsThread::Start([this] { Run(); });
  if (thread == nullptr) {
    started_ = false;
    LockGuard guard(shared->lock);
    shared->running = false;
    return false;
  }
  if (free)
    thread->Abandon();  // the run ends by itself and frees the object
  else
    thread_ = std::move(thread);
  return true;
}

void Thread::Run() {
  shared_->runner.store(CurrentThreadId());
  Execute();
  // Keep the shared state alive past a self-deletion, and mark the end under
  // the lock, so a ThreadRef never sees a deleted object as running.
  const std::shared_ptr<Shared> shared = shared_;
  const bool free = freeOnTerminate_;
  if (free) delete this;
  LockGuard guard(shared->lock);
  shared->running = false;
  shared->ended.NotifyAll();
}

void Thread::Terminate() { shared_->terminated.store(true); }

bool Thread::Terminated() const { return shared_->terminated.load(); }

void Thread::WaitFor() {
  if (thread_ != nullptr && shared_->runner.load() != CurrentThreadId()) thread_.reset();  // joins
}

ThreadRef Thread::Ref() const { return ThreadRef(shared_); }

bool ThreadRef::Running() const {
  if (!shared_) return false;
  LockGuard guard(shared_->lock);
  return shared_->running;
}

void ThreadRef::Terminate() {
  if (!shared_) return;
  LockGuard guard(shared_->lock);
  if (shared_->running) shared_->terminated.store(true);
}

}  // namespace platform
