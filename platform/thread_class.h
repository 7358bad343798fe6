// The thread class of the window toolkit: created suspended, optionally
// deleting itself when its run returns, started on request. A termination
// request only sets a flag that the run may read.
//
// ThreadRef observes a thread that may already have deleted itself: it
// answers whether the run is still going and forwards termination requests
// only while it is. Once a self-deleting thread has ended, every ThreadRef to
// it counts as empty.
// Threads: Start/Terminate/ThreadRef from any thread; Execute on its own.
// SetFreeOnTerminate before Start; WaitFor and deletion by the owner only for
// threads that do not free themselves, and never from inside Execute.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "platform/lock.h"
#include "platform/thread.h"

namespace platform {

class ThreadRef;

class Thread {
 public:
  Thread();  // suspended
  // For an owned thread that was started, waits for its run to end: an owner
  // must not let the derived part go while Execute may still use it, so it
  // calls WaitFor in its own destructor.
  virtual ~Thread();
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;

  void SetFreeOnTerminate(bool free);
  // Starts Execute on a new thread; false (and nothing started, the caller
  // still owns the object) when no thread can be made or it was started
  // before. With free-on-terminate the object deletes itself when Execute
  // returns and must not be touched by its creator afterwards except through
  // a ThreadRef.
  bool Start();
  void Terminate();
  bool Terminated() const;
  void WaitFor();  // for owners of threads that do not free themselves
  ThreadRef Ref() const;

  struct Shared {
    Mutex lock;
    bool running = false;  // from Start until Execute has returned
    ConditionVariable ended;
    std::atomic<bool> terminated{false};
    std::atomic<uintptr_t> runner{0};  // CurrentThreadId() of the run, once it began
  };

 protected:
  virtual void Execute() = 0;

 private:
  void Run();

  std::shared_ptr<Shared> shared_;
  bool freeOnTerminate_ = false;
  bool started_ = false;
  std::unique_ptr<OsThread> thread_;  // only for started threads that do not free themselves
};

class ThreadRef {
 public:
  ThreadRef() = default;
  explicit ThreadRef(std::shared_ptr<Thread::Shared> shared) : shared_(std::move(shared)) {}
  bool Running() const;
  void Terminate();  // nothing once the run has ended
  void Reset() { shared_.reset(); }

 private:
  std::shared_ptr<Thread::Shared> shared_;
};

}  // namespace platform
