#include "platform/thread_class.h"

#include <system_error>

namespace platform {

Thread::Thread() : shared_(std::make_shared<Shared>()) {}

Thread::~Thread() { WaitFor(); }

void Thread::SetFreeOnTerminate(bool free) { freeOnTerminate_ = free; }

bool Thread::Start() {
  if (started_) return false;
  {
    std::lock_guard guard(shared_->lock);
    shared_->running = true;
  }
  // The new thread may finish, and with free-on-terminate delete this object,
  // before std::thread's constructor returns here: decide everything about
  // the handle first, and touch no member after starting a self-deleting run.
  const bool free = freeOnTerminate_;
  started_ = true;
  try {
    std::thread thread([this] { Run(); });
    if (free)
      thread.detach();
    else
      thread_ = std::move(thread);
  } catch (const std::system_error&) {
    started_ = false;
    std::lock_guard guard(shared_->lock);
    shared_->running = false;
    return false;
  }
  return true;
}

void Thread::Run() {
  Execute();
  // Keep the shared state alive past a self-deletion, and mark the end under
  // the lock, so a ThreadRef never sees a deleted object as running.
  const std::shared_ptr<Shared> shared = shared_;
  const bool free = freeOnTerminate_;
  if (free) delete this;
  std::lock_guard guard(shared->lock);
  shared->running = false;
  shared->ended.notify_all();
}

void Thread::Terminate() { shared_->terminated.store(true); }

bool Thread::Terminated() const { return shared_->terminated.load(); }

void Thread::WaitFor() {
  if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

ThreadRef Thread::Ref() const { return ThreadRef(shared_); }

bool ThreadRef::Running() const {
  if (!shared_) return false;
  std::lock_guard guard(shared_->lock);
  return shared_->running;
}

void ThreadRef::Terminate() {
  if (!shared_) return;
  std::lock_guard guard(shared_->lock);
  if (shared_->running) shared_->terminated.store(true);
}

}  // namespace platform
