// The project's mutex, its scoped holders and its condition variable.
//
// Each system's implementation lives in its folder (platform/<system>/
// <system>_lock.cpp) and keeps its own objects in the opaque storage below,
// checking there that they fit.
// Linux: the standard library's mutex and condition variable.
// Windows: a critical section, and a condition variable of the project's
// own, built from nothing newer than what Windows 95/98/Me and NT 4.0 have
// (no CONDITION_VARIABLE, no SRWLOCK, no SignalObjectAndWait), so that no
// threads runtime (winpthreads) is linked. Each waiter queues itself, with
// an auto-reset event of its own, while it still holds the mutex; a notify
// takes waiters off that queue and sets their events. A notify that comes
// after the waiter let the mutex go but before it began to wait therefore
// finds it queued and leaves its event set: no wake-up is lost. Waits may
// still return without a notify (as the standard's may): wait on a
// condition with the predicate forms.
//
// The mutex is not recursive. A condition variable's waits all use the
// same mutex.
// Threads: any; a lock is released by the thread that took it.
#pragma once

#include <cstdint>

#include "platform/thread.h"

namespace platform {

class ConditionVariable;

class Mutex {
 public:
  Mutex();
  ~Mutex();
  Mutex(const Mutex&) = delete;
  Mutex& operator=(const Mutex&) = delete;

  void Lock();
  void Unlock();

 private:
  friend class ConditionVariable;
  // The system's mutex, kept opaque so that no caller sees a system header.
  alignas(void*) unsigned char storage_[sizeof(void*) == 8 ? 40 : 24];
};

// Holds the mutex for its own lifetime.
class LockGuard {
 public:
  explicit LockGuard(Mutex& mutex) : mutex_(mutex) { mutex_.Lock(); }
  ~LockGuard() { mutex_.Unlock(); }
  LockGuard(const LockGuard&) = delete;
  LockGuard& operator=(const LockGuard&) = delete;

 private:
  Mutex& mutex_;
};

struct DeferLock {};
inline constexpr DeferLock DEFER_LOCK{};

// A holder that may let the mutex go and take it again; what the
// condition variable's waits take.
class UniqueLock {
 public:
  explicit UniqueLock(Mutex& mutex) : mutex_(mutex) { Lock(); }
  UniqueLock(Mutex& mutex, DeferLock) : mutex_(mutex) {}
  ~UniqueLock() {
    if (owns_) mutex_.Unlock();
  }
  UniqueLock(const UniqueLock&) = delete;
  UniqueLock& operator=(const UniqueLock&) = delete;

  void Lock() {
    mutex_.Lock();
    owns_ = true;
  }
  void Unlock() {
    owns_ = false;
    mutex_.Unlock();
  }
  bool OwnsLock() const { return owns_; }

 private:
  friend class ConditionVariable;
  Mutex& mutex_;
  bool owns_ = false;
};

class ConditionVariable {
 public:
  ConditionVariable();
  ~ConditionVariable();  // no thread may still wait
  ConditionVariable(const ConditionVariable&) = delete;
  ConditionVariable& operator=(const ConditionVariable&) = delete;

  void NotifyOne();
  void NotifyAll();

  // The lock must be held; it is held again on return.
  void Wait(UniqueLock& lock);
  // False when ms went by without a wake-up.
  bool WaitFor(UniqueLock& lock, uint32_t ms);

  template <class Predicate>
  void Wait(UniqueLock& lock, Predicate ready) {
    while (!ready()) Wait(lock);
  }

  // Waits until ready() holds or ms have gone by; what ready() last said.
  template <class Predicate>
  bool WaitFor(UniqueLock& lock, uint32_t ms, Predicate ready) {
    if (ms == WAIT_FOREVER) {
      Wait(lock, ready);
      return true;
    }
    // Ticks are whole milliseconds, so `spent` may count up to one more
    // than has really gone by: the wait gives up only once it exceeds ms.
    const uint32_t start = TickMs();
    while (!ready()) {
      const uint32_t spent = TickMs() - start;
      if (ms == 0 || spent > ms) return false;
      WaitFor(lock, ms + 1 - spent);
    }
    return true;
  }

  static constexpr uint32_t WAIT_FOREVER = 0xFFFFFFFF;

 private:
  // The system's waiting state, kept opaque like the mutex's.
  alignas(8) unsigned char storage_[sizeof(void*) == 8 ? 80 : 48];
};

}  // namespace platform
