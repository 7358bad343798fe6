// The toolkit's thread class: created suspended, optionally deleting itself
// when its run returns, started on request. A termination request only sets
// a flag that the run may read.
//
// ThreadRef observes a thread that may already have deleted itself: it
// answers whether the run is still going and forwards termination requests
// only while it is.
// Threads: Start/Terminate/ThreadRef from any thread; Execute on its own.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>

namespace tk {

class ThreadRef;

class Thread {
 public:
  Thread();  // suspended
  virtual ~Thread();
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;

  void SetFreeOnTerminate(bool free);
  // Starts Execute on a new thread. With free-on-terminate the object deletes
  // itself when Execute returns; otherwise the owner deletes it after WaitFor.
  void Start();
  void Terminate();
  bool Terminated() const;
  void WaitFor();  // for owners of threads that do not free themselves
  ThreadRef Ref() const;

  struct Shared {
    std::mutex lock;
    Thread* thread = nullptr;  // cleared when the run has ended
    std::atomic<bool> terminated{false};
  };

 protected:
  virtual void Execute() = 0;

 private:
  std::shared_ptr<Shared> shared_;
  bool freeOnTerminate_ = false;
  struct Runner;
  std::unique_ptr<Runner> runner_;
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

}  // namespace tk
