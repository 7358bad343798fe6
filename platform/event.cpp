#include "platform/event.h"

#include <array>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace {

// A handle's low byte names its slot (1 to SLOT_COUNT), or is zero for an
// event that found every slot taken; the bits above are a serial number
// that never repeats, so a closed handle cannot name its slot's next event.
constexpr EventHandle SLOT_BITS = 8;
constexpr EventHandle SLOT_MASK = (EventHandle{1} << SLOT_BITS) - 1;
constexpr std::size_t SLOT_COUNT = SLOT_MASK;

// One event. A slot's handle changes only under its own lock, so every
// operation checks that it still holds the event it was asked about.
struct Event {
  std::mutex lock;
  std::condition_variable changed;
  EventHandle handle = NO_EVENT;
  bool signalled = false;
};

// Events live in slots made once, so a drive command's event costs no
// memory; only more than SLOT_COUNT events open at once take heap ones.
class EventTable final : public EventService {
 public:
  EventTable() {
    for (std::size_t i = 0; i < SLOT_COUNT; ++i) freeSlots_[i] = static_cast<uint8_t>(SLOT_COUNT - 1 - i);
    freeCount_ = SLOT_COUNT;
  }

  EventHandle CreateEvent() override {
    std::lock_guard guard(lock_);
    const EventHandle serial = ++lastSerial_;
    if (freeCount_ == 0) {
      const EventHandle h = serial << SLOT_BITS;
      auto e = std::make_shared<Event>();
      e->handle = h;
      overflow_.emplace(h, std::move(e));
      return h;
    }
    const std::size_t slot = freeSlots_[--freeCount_];
    const EventHandle h = (serial << SLOT_BITS) | (slot + 1);
    Event& e = slots_[slot];
    std::lock_guard eventGuard(e.lock);
    e.handle = h;
    e.signalled = false;
    return h;
  }

  bool SetEvent(EventHandle h) override {
    std::shared_ptr<Event> held;  // keeps a heap event alive; a slot's lives as long as the table
    Event* const e = Resolve(h, held, false);
    if (e == nullptr) return false;
    {
      std::lock_guard guard(e->lock);
      if (e->handle != h) return false;
      e->signalled = true;
    }
    // Woken once the lock is free, the waiter need not block on it again. A
    // waiter woken after its event was closed checks its handle and leaves.
    e->changed.notify_one();
    return true;
  }

  bool ResetEvent(EventHandle h) override {
    return WithEvent(h, false, [](Event& e, std::unique_lock<std::mutex>&) {
      e.signalled = false;
      return true;
    });
  }

  WaitResult WaitForSingleObject(EventHandle h, uint32_t ms) override {
    return WithEvent(h, WaitResult::Failed, [&](Event& e, std::unique_lock<std::mutex>& guard) {
      const auto over = [&] { return e.signalled || e.handle != h; };
      // INFINITE, as on Windows: no time-out, and no timer armed for one.
      bool ended = true;
      if (ms == WAIT_INFINITE)
        e.changed.wait(guard, over);
      else
        ended = e.changed.wait_for(guard, std::chrono::milliseconds(ms), over);
      if (e.handle != h) return WaitResult::Failed;  // closed meanwhile
      if (!ended) return WaitResult::TimedOut;
      e.signalled = false;  // auto-reset: one waiter takes the signal
      return WaitResult::Signalled;
    });
  }

  bool CloseHandle(EventHandle h) override {
    std::shared_ptr<Event> overflowEvent;
    std::lock_guard guard(lock_);
    Event* const e = Resolve(h, overflowEvent);
    if (e == nullptr) return false;
    {
      std::lock_guard eventGuard(e->lock);
      if (e->handle != h) return false;
      e->handle = NO_EVENT;
      e->signalled = false;
      e->changed.notify_all();  // a wait on a closed event ends
    }
    if (overflowEvent)
      overflow_.erase(h);
    else
      freeSlots_[freeCount_++] = static_cast<uint8_t>((h & SLOT_MASK) - 1);
    return true;
  }

  std::size_t OpenCount() const override {
    std::lock_guard guard(lock_);
    return SLOT_COUNT - freeCount_ + overflow_.size();
  }

 private:
  // The event a handle names, if any; `held` keeps a heap one alive.
  // Overflow lookups need the table lock: the caller holds it or it is taken here.
  Event* Resolve(EventHandle h, std::shared_ptr<Event>& held, bool tableLocked = true) {
    if (h == NO_EVENT) return nullptr;
    if ((h & SLOT_MASK) != 0) return &slots_[(h & SLOT_MASK) - 1];
    std::unique_lock guard(lock_, std::defer_lock);
    if (!tableLocked) guard.lock();
    const auto it = overflow_.find(h);
    if (it == overflow_.end()) return nullptr;
    held = it->second;
    return held.get();
  }

  // Runs `op` with the event's lock held while it is still the one `h` names.
  template <typename R, typename Op>
  R WithEvent(EventHandle h, R missing, Op op) {
    std::shared_ptr<Event> held;
    Event* const e = Resolve(h, held, false);
    if (e == nullptr) return missing;
    std::unique_lock guard(e->lock);
    if (e->handle != h) return missing;
    return op(*e, guard);
  }

  mutable std::mutex lock_;  // the free list, the serial and the overflow
  EventHandle lastSerial_ = 0;
  std::array<Event, SLOT_COUNT> slots_;
  std::array<uint8_t, SLOT_COUNT> freeSlots_{};
  std::size_t freeCount_ = 0;
  std::unordered_map<EventHandle, std::shared_ptr<Event>> overflow_;
};

}  // namespace

EventService& SystemEvents() {
  static EventTable table;
  return table;
}

extern "C" int zx_SetEvent(std::uintptr_t handle) { return SystemEvents().SetEvent(handle) ? 1 : 0; }
