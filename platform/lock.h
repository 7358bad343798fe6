// The project's mutex, its scoped holders and its condition variable.
//
// Linux: thin wrappers over the standard library's types.
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

#ifndef _WIN32
#include <chrono>
#include <condition_variable>
#include <mutex>
#else
#include <vector>
#endif

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
#ifdef _WIN32
  // A CRITICAL_SECTION, kept opaque so that no caller sees <windows.h>.
  alignas(void*) unsigned char section_[sizeof(void*) == 8 ? 40 : 24];
#else
  friend class UniqueLock;
  std::mutex mutex_;
#endif
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
  explicit UniqueLock(Mutex& mutex);
  UniqueLock(Mutex& mutex, DeferLock);
  ~UniqueLock();
  UniqueLock(const UniqueLock&) = delete;
  UniqueLock& operator=(const UniqueLock&) = delete;

  void Lock();
  void Unlock();
  bool OwnsLock() const;

 private:
  friend class ConditionVariable;
#ifdef _WIN32
  Mutex& mutex_;
  bool owns_ = false;
#else
  std::unique_lock<std::mutex> lock_;
#endif
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
    const uint32_t start = TickMs();
    while (!ready()) {
      const uint32_t spent = TickMs() - start;
      if (spent >= ms) return false;
      WaitFor(lock, ms - spent);
    }
    return true;
  }

  static constexpr uint32_t WAIT_FOREVER = 0xFFFFFFFF;

 private:
#ifdef _WIN32
  struct Waiter;
  void Unqueue(Waiter& waiter);
  // Waits for the waiter's event with the caller's mutex let go; false on
  // a timeout that no notify overtook.
  bool Block(UniqueLock& lock, uint32_t ms);

  Mutex queueLock_;  // the queue and the spare events
  Waiter* first_ = nullptr;
  Waiter* last_ = nullptr;
  std::vector<void*> spareEvents_;  // auto-reset, unsignalled
#else
  std::condition_variable condition_;
#endif
};

#ifndef _WIN32
inline Mutex::Mutex() = default;
inline Mutex::~Mutex() = default;
inline void Mutex::Lock() { mutex_.lock(); }
inline void Mutex::Unlock() { mutex_.unlock(); }

inline UniqueLock::UniqueLock(Mutex& mutex) : lock_(mutex.mutex_) {}
inline UniqueLock::UniqueLock(Mutex& mutex, DeferLock) : lock_(mutex.mutex_, std::defer_lock) {}
inline UniqueLock::~UniqueLock() = default;
inline void UniqueLock::Lock() { lock_.lock(); }
inline void UniqueLock::Unlock() { lock_.unlock(); }
inline bool UniqueLock::OwnsLock() const { return lock_.owns_lock(); }

inline ConditionVariable::ConditionVariable() = default;
inline ConditionVariable::~ConditionVariable() = default;
inline void ConditionVariable::NotifyOne() { condition_.notify_one(); }
inline void ConditionVariable::NotifyAll() { condition_.notify_all(); }
inline void ConditionVariable::Wait(UniqueLock& lock) { condition_.wait(lock.lock_); }
inline bool ConditionVariable::WaitFor(UniqueLock& lock, uint32_t ms) {
  if (ms == WAIT_FOREVER) {
    condition_.wait(lock.lock_);
    return true;
  }
  return condition_.wait_for(lock.lock_, std::chrono::milliseconds(ms)) == std::cv_status::no_timeout;
}
#endif

}  // namespace platform
