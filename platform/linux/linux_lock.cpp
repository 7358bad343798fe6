// The mutex and the condition variable on the standard library's, held in
// the opaque storage of platform/lock.h.
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <new>

#include "platform/lock.h"

namespace platform {

// Each class is its storage and nothing else.
static_assert(sizeof(std::mutex) <= sizeof(Mutex) && alignof(std::mutex) <= alignof(Mutex),
              "Mutex keeps too little room for the standard's mutex");
static_assert(sizeof(std::condition_variable) <= sizeof(ConditionVariable) &&
                  alignof(std::condition_variable) <= alignof(ConditionVariable),
              "ConditionVariable keeps too little room for the standard's");

namespace {

template <class Native>
Native& As(unsigned char* storage) {
  return *std::launder(reinterpret_cast<Native*>(storage));
}

}  // namespace

Mutex::Mutex() { new (storage_) std::mutex(); }
Mutex::~Mutex() { As<std::mutex>(storage_).~mutex(); }
void Mutex::Lock() { As<std::mutex>(storage_).lock(); }
void Mutex::Unlock() { As<std::mutex>(storage_).unlock(); }

ConditionVariable::ConditionVariable() { new (storage_) std::condition_variable(); }
ConditionVariable::~ConditionVariable() { As<std::condition_variable>(storage_).~condition_variable(); }
void ConditionVariable::NotifyOne() { As<std::condition_variable>(storage_).notify_one(); }
void ConditionVariable::NotifyAll() { As<std::condition_variable>(storage_).notify_all(); }

void ConditionVariable::Wait(UniqueLock& lock) { (void)WaitFor(lock, WAIT_FOREVER); }

bool ConditionVariable::WaitFor(UniqueLock& lock, uint32_t ms) {
  // The caller's UniqueLock stays the owner: the standard's lock only lends
  // the wait the mutex it already holds.
  std::unique_lock<std::mutex> held(As<std::mutex>(lock.mutex_.storage_), std::adopt_lock);
  auto& condition = As<std::condition_variable>(storage_);
  bool woken = true;
  if (ms == WAIT_FOREVER)
    condition.wait(held);
  else
    woken = condition.wait_for(held, std::chrono::milliseconds(ms)) == std::cv_status::no_timeout;
  held.release();
  return woken;
}

}  // namespace platform
