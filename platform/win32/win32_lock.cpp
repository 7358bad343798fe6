// The mutex on a critical section and the condition variable on per-waiter
// auto-reset events (see platform/lock.h for why no wake-up is lost), both
// held in the opaque storage of platform/lock.h.
#include <new>
#include <vector>

#include "platform/lock.h"
#include "platform/win32/windows_api.h"

namespace platform {

namespace {

// Lives on the waiting thread's stack; a notify takes it off the queue
// (queued false) and sets its event, both under the queue's lock, which the
// waiter takes again before it leaves, so the node outlives every use.
struct Waiter {
  HANDLE event = nullptr;
  Waiter* next = nullptr;
  bool queued = false;
};

struct WaitQueue {
  Mutex queueLock;  // the queue and the spare events
  Waiter* first = nullptr;
  Waiter* last = nullptr;
  std::vector<HANDLE> spareEvents;  // auto-reset, unsignalled
};

template <class Native>
Native& As(unsigned char* storage) {
  return *std::launder(reinterpret_cast<Native*>(storage));
}

void Unqueue(WaitQueue& queue, Waiter& waiter) {
  Waiter* before = nullptr;
  for (Waiter* at = queue.first; at != nullptr; before = at, at = at->next) {
    if (at != &waiter) continue;
    (before == nullptr ? queue.first : before->next) = at->next;
    if (queue.last == at) queue.last = before;
    break;
  }
  waiter.queued = false;
}

// Waits for the waiter's event with the caller's mutex let go; false on a
// timeout that no notify overtook.
bool Block(WaitQueue& queue, UniqueLock& lock, uint32_t ms) {
  Waiter waiter;
  {
    LockGuard guard(queue.queueLock);
    if (!queue.spareEvents.empty()) {
      waiter.event = queue.spareEvents.back();
      queue.spareEvents.pop_back();
    } else {
      waiter.event = ::CreateEventA(nullptr, FALSE, FALSE, nullptr);
    }
    if (waiter.event != nullptr) {
      waiter.queued = true;
      (queue.last == nullptr ? queue.first : queue.last->next) = &waiter;
      queue.last = &waiter;
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
    LockGuard guard(queue.queueLock);
    if (waiter.queued) {
      Unqueue(queue, waiter);
    } else if (!woken) {
      // A notify chose this waiter as its wait ran out: the notify counts,
      // and its event, already set, is cleared for the next waiter.
      ::ResetEvent(waiter.event);
      woken = true;
    }
    try {
      queue.spareEvents.push_back(waiter.event);
    } catch (const std::bad_alloc&) {
      ::CloseHandle(waiter.event);
    }
  }
  lock.Lock();
  return woken;
}

}  // namespace

// Each class is its storage and nothing else.
static_assert(sizeof(CRITICAL_SECTION) <= sizeof(Mutex) && alignof(CRITICAL_SECTION) <= alignof(Mutex),
              "Mutex keeps too little room for a critical section");
static_assert(sizeof(WaitQueue) <= sizeof(ConditionVariable) && alignof(WaitQueue) <= alignof(ConditionVariable),
              "ConditionVariable keeps too little room for its wait queue");

Mutex::Mutex() { ::InitializeCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(storage_)); }
Mutex::~Mutex() { ::DeleteCriticalSection(&As<CRITICAL_SECTION>(storage_)); }
void Mutex::Lock() { ::EnterCriticalSection(&As<CRITICAL_SECTION>(storage_)); }
void Mutex::Unlock() { ::LeaveCriticalSection(&As<CRITICAL_SECTION>(storage_)); }

ConditionVariable::ConditionVariable() { new (storage_) WaitQueue(); }

ConditionVariable::~ConditionVariable() {
  WaitQueue& queue = As<WaitQueue>(storage_);
  for (HANDLE event : queue.spareEvents) ::CloseHandle(event);
  queue.~WaitQueue();
}

void ConditionVariable::NotifyOne() {
  WaitQueue& queue = As<WaitQueue>(storage_);
  LockGuard guard(queue.queueLock);
  Waiter* waiter = queue.first;
  if (waiter == nullptr) return;
  queue.first = waiter->next;
  if (queue.first == nullptr) queue.last = nullptr;
  waiter->queued = false;
  ::SetEvent(waiter->event);
}

void ConditionVariable::NotifyAll() {
  WaitQueue& queue = As<WaitQueue>(storage_);
  LockGuard guard(queue.queueLock);
  for (Waiter* waiter = queue.first; waiter != nullptr;) {
    Waiter* next = waiter->next;
    waiter->queued = false;
    ::SetEvent(waiter->event);
    waiter = next;
  }
  queue.first = queue.last = nullptr;
}

void ConditionVariable::Wait(UniqueLock& lock) { (void)Block(As<WaitQueue>(storage_), lock, INFINITE); }

bool ConditionVariable::WaitFor(UniqueLock& lock, uint32_t ms) { return Block(As<WaitQueue>(storage_), lock, ms); }

}  // namespace platform
