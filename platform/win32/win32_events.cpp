// The process's event table on the system's auto-reset events. Handles are
// the system's, so an ASPI library can signal them with kernel32's SetEvent.
//
// Closing retires the event instead of closing its system handle: while the
// system object stays open, the system cannot give its handle value to a
// new object, so a completion that comes after its caller gave up reaches a
// dead event, never someone else's.
//
// One exception keeps a drive command free of heap memory and of a system
// handle left behind: an event whose one signal was taken by a wait, with
// no other signal through the table, has had the one completion its request
// can give, however many waits ran out before it. Nothing can reach it any
// more, so a few such events are kept as spares and handed out again,
// reset, by CreateEvent. Every other closed event is retired as before.
#include <array>
#include <unordered_map>
#include <vector>

#include "platform/event.h"
#include "platform/lock.h"
#include "platform/win32/windows_api.h"

namespace {

HANDLE AsHandle(EventHandle h) { return reinterpret_cast<HANDLE>(h); }

constexpr std::size_t OPEN_SLOTS = 64;
constexpr std::size_t SPARES = 8;

// What the table knows of an open event.
struct Use {
  uint32_t sets = 0;      // SetEvent calls through the table
  uint32_t signals = 0;   // waits that returned signalled
  uint32_t failures = 0;  // waits that neither took a signal nor ran out
  uint32_t waiting = 0;   // waits going on now
  // Waits that ran out took nothing: a command longer than one slice of
  // its caller's wait has had its one completion all the same.
  bool Spent() const { return signals == 1 && sets <= 1 && failures == 0 && waiting == 0; }
};

struct Slot {
  EventHandle handle = NO_EVENT;
  Use use;
};

class Win32EventTable final : public EventService {
 public:
  EventHandle CreateEvent() override {
    HANDLE system = nullptr;
    {
      platform::LockGuard guard(lock_);
      if (spareCount_ > 0) system = spares_[--spareCount_];
    }
    if (system != nullptr) {
      ::ResetEvent(system);
    } else {
      // Unnamed, auto-reset, initially unsignalled.
      system = ::CreateEventA(nullptr, FALSE, FALSE, nullptr);
      if (system == nullptr) return NO_EVENT;
    }
    const auto h = reinterpret_cast<EventHandle>(system);
    platform::LockGuard guard(lock_);
    if (Slot* free = Find(NO_EVENT)) {
      *free = Slot{h, {}};
      ++openInSlots_;
    } else {
      overflow_.emplace(h, Use{});
    }
    return h;
  }

  bool SetEvent(EventHandle h) override {
    // Under the lock, so that no signal through the table lands after its
    // CloseHandle has returned.
    platform::LockGuard guard(lock_);
    Use* use = UseOf(h);
    if (use == nullptr) return false;
    ++use->sets;
    return ::SetEvent(AsHandle(h)) != FALSE;
  }

  bool ResetEvent(EventHandle h) override {
    platform::LockGuard guard(lock_);
    return UseOf(h) != nullptr && ::ResetEvent(AsHandle(h)) != FALSE;
  }

  WaitResult WaitForSingleObject(EventHandle h, uint32_t ms) override {
    {
      platform::LockGuard guard(lock_);
      Use* use = UseOf(h);
      if (use == nullptr) return WaitResult::Failed;
      ++use->waiting;
    }
    // A close during the wait retires the object (it is not spent while
    // waited on) but leaves it valid.
    const DWORD outcome = ::WaitForSingleObject(AsHandle(h), ms);
    {
      platform::LockGuard guard(lock_);
      if (Use* use = UseOf(h)) {
        --use->waiting;
        if (outcome == WAIT_OBJECT_0)
          ++use->signals;
        else if (outcome != WAIT_TIMEOUT)
          ++use->failures;
      }
    }
    switch (outcome) {
      case WAIT_OBJECT_0:
        return WaitResult::Signalled;
      case WAIT_TIMEOUT:
        return WaitResult::TimedOut;
      default:
        return WaitResult::Failed;
    }
  }

  bool CloseHandle(EventHandle h) override {
    platform::LockGuard guard(lock_);
    Use use;
    if (Slot* slot = Find(h)) {
      use = slot->use;
      *slot = Slot{};
      --openInSlots_;
    } else {
      const auto it = overflow_.find(h);
      if (it == overflow_.end()) return false;
      use = it->second;
      overflow_.erase(it);
    }
    if (use.Spent() && spareCount_ < SPARES)
      spares_[spareCount_++] = AsHandle(h);
    else
      retired_.push_back(h);
    return true;
  }

  std::size_t OpenCount() const override {
    platform::LockGuard guard(lock_);
    return openInSlots_ + overflow_.size();
  }

  std::size_t HeldCount() const override {
    platform::LockGuard guard(lock_);
    return openInSlots_ + overflow_.size() + spareCount_ + retired_.size();
  }

 private:
  // Lock held for all three.
  Slot* Find(EventHandle h) {
    for (Slot& slot : slots_)
      if (slot.handle == h) return &slot;
    return nullptr;
  }

  Use* UseOf(EventHandle h) {
    if (h == NO_EVENT) return nullptr;
    if (Slot* slot = Find(h)) return &slot->use;
    const auto it = overflow_.find(h);
    return it == overflow_.end() ? nullptr : &it->second;
  }

  mutable platform::Mutex lock_;
  std::array<Slot, OPEN_SLOTS> slots_{};
  std::size_t openInSlots_ = 0;
  std::unordered_map<EventHandle, Use> overflow_;  // only when every slot is taken
  std::array<HANDLE, SPARES> spares_{};
  std::size_t spareCount_ = 0;
  std::vector<EventHandle> retired_;  // kept open until the process ends
};

}  // namespace

EventService& SystemEvents() {
  // Never destroyed: threads that outlive main (an abandoned worker, a
  // library's engine) may still use it, and the process end closes every
  // system handle anyway.
  static auto* const table = new Win32EventTable;
  return *table;
}
