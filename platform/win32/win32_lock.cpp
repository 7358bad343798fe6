// The mutex on a critical section and the condition variable on per-waiter
// auto-reset events (see platform/lock.h for why no wake-up is lost).
#include <new>

#include "platform/lock.h"
#include "platform/win32/windows_api.h"

namespace platform {

static_assert(sizeof(CRITICAL_SECTION) <= 40 && (sizeof(void*) == 8 || sizeof(CRITICAL_SECTION) <= 24),
              "Mutex keeps too little room for a critical section");
static_assert(alignof(CRITICAL_SECTION) <= alignof(void*), "Mutex aligns a critical section too loosely");

namespace {

CRITICAL_SECTION* Section(unsigned char* storage) { return reinterpret_cast<CRITICAL_SECTION*>(storage); }

}  // namespace

Mutex::Mutex() { ::InitializeCriticalSection(Section(section_)); }
Mutex::~Mutex() { ::DeleteCriticalSection(Section(section_)); }
void Mutex::Lock() { ::EnterCriticalSection(Section(section_)); }
void Mutex::Unlock() { ::LeaveCriticalSection(Section(section_)); }

UniqueLock::UniqueLock(Mutex& mutex) : mutex_(mutex) { Lock(); }
UniqueLock::UniqueLock(Mutex& mutex, DeferLock) : mutex_(mutex) {}
UniqueLock::~UniqueLock() {
  if (owns_) mutex_.Unlock();
}
void UniqueLock::Lock() {
  mutex_.Lock();
  owns_ = true;
}
void UniqueLock::Unlock() {
  owns_ = false;
  mutex_.Unlock();
}
bool UniqueLock::OwnsLock() const { return owns_; }

// Lives on the waiting thread's stack; a notify takes it off the queue
// (queued false) and sets its event, both under the queue's lock, which the
// waiter takes again before it leaves, so the node outlives every use.
struct ConditionVariable::Waiter {
  HANDLE event = nullptr;
  Waiter* next = nullptr;
  bool queued = false;
};

ConditionVariable::ConditionVariable() = default;

ConditionVariable::~ConditionVariable() {
  for (void* event : spareEvents_) ::CloseHandle(static_cast<HANDLE>(event));
}

void ConditionVariable::NotifyOne() {
  LockGuard guard(queueLock_);
  Waiter* waiter = first_;
  if (waiter == nullptr) return;
  first_ = waiter->next;
  if (first_ == nullptr) last_ = nullptr;
  waiter->queued = false;
  ::SetEvent(waiter->event);
}

void ConditionVariable::NotifyAll() {
  LockGuard guard(queueLock_);
  for (Waiter* waiter = first_; waiter != nullptr;) {
    Waiter* next = waiter->next;
    waiter->queued = false;
    ::SetEvent(waiter->event);
    waiter = next;
  }
  first_ = last_ = nullptr;
}

void ConditionVariable::Unqueue(Waiter& waiter) {
  Waiter* before = nullptr;
  for (Waiter* at = first_; at != nullptr; before = at, at = at->next) {
    if (at != &waiter) continue;
    (before == nullptr ? first_ : before->next) = at->next;
    if (last_ == at) last_ = before;
    break;
  }
  waiter.queued = false;
}

bool ConditionVariable::Block(UniqueLock& lock, uint32_t ms) {
  Waiter waiter;
  {
    LockGuard guard(queueLock_);
    if (!spareEvents_.empty()) {
      waiter.event = static_cast<HANDLE>(spareEvents_.back());
      spareEvents_.pop_back();
    } else {
      waiter.event = ::CreateEventA(nullptr, FALSE, FALSE, nullptr);
    }
    if (waiter.event != nullptr) {
      waiter.queued = true;
      (last_ == nullptr ? first_ : last_->next) = &waiter;
      last_ = &waiter;
    }
  }
  if (waiter.event == nullptr) {
    // Out of system resources: let the others run and report a wake-up,
    // which every waiter checks against its condition.
    lock.Unlock();
    ::Sleep(ms == 0 ? 0 : 1);
    lock.Lock();
    return true;
  }
  lock.Unlock();
  bool woken = ::WaitForSingleObject(waiter.event, ms) == WAIT_OBJECT_0;
  {
    LockGuard guard(queueLock_);
    if (waiter.queued) {
      Unqueue(waiter);
    } else if (!woken) {
      // A notify chose this waiter as its wait ran out: the notify counts,
      // and its event, already set, is cleared for the next waiter.
      ::ResetEvent(waiter.event);
      woken = true;
    }
    try {
      spareEvents_.push_back(waiter.event);
    } catch (const std::bad_alloc&) {
      ::CloseHandle(waiter.event);
    }
  }
  lock.Lock();
  return woken;
}

void ConditionVariable::Wait(UniqueLock& lock) { (void)Block(lock, INFINITE); }

bool ConditionVariable::WaitFor(UniqueLock& lock, uint32_t ms) { return Block(lock, ms); }

}  // namespace platform
