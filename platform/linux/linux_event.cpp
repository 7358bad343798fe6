#include "platform/event.h"

#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <chrono>
#include <climits>
#include <ctime>
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
constexpr uint32_t SIGNALLED = 1;

// One event. Its word carries, beside the signal (bit 0), a tag drawn from
// the handle of the event living there (never 0; 0 while nobody does), so
// setting, resetting or taking the signal checks in the same atomic step
// that the event is still the one asked about. Waiters sleep on the word
// itself: every change of the signal or of the tag changes the word.
// A drive command sets and takes two events, so they cost no lock.
struct Event {
  std::atomic<EventHandle> handle{NO_EVENT};
  std::atomic<uint32_t> word{0};
  std::atomic<uint32_t> waiters{0};  // a setter wakes a sleeper only when there is one
};
static_assert(sizeof(std::atomic<uint32_t>) == sizeof(uint32_t), "the futex word is the atomic itself");

uint32_t TagOf(EventHandle h) { return static_cast<uint32_t>((h >> SLOT_BITS) % 0x7FFFFFFF) + 1; }

bool Holds(const Event& e, EventHandle h, uint32_t word) {
  return (word >> 1) == TagOf(h) && e.handle.load() == h;
}

uint32_t* FutexWord(std::atomic<uint32_t>& word) { return reinterpret_cast<uint32_t*>(&word); }

// Sleeps while the word still holds `seen`, at most `limit` (nullptr: no limit).
// Wakes up early now and then; callers look again.
void FutexWait(std::atomic<uint32_t>& word, uint32_t seen, const timespec* limit) {
  syscall(SYS_futex, FutexWord(word), FUTEX_WAIT_PRIVATE, seen, limit, nullptr, 0);
}

void FutexWake(std::atomic<uint32_t>& word, int count) {
  syscall(SYS_futex, FutexWord(word), FUTEX_WAKE_PRIVATE, count, nullptr, nullptr, 0);
}

// Sets or clears the signal of h's event; false when h names no event.
bool ChangeSignal(Event& e, EventHandle h, bool signalled) {
  uint32_t word = e.word.load();
  do {
    if (!Holds(e, h, word)) return false;
  } while (!e.word.compare_exchange_weak(word, signalled ? (word | SIGNALLED) : (word & ~SIGNALLED)));
  return true;
}

WaitResult Wait(Event& e, EventHandle h, uint32_t ms) {
  using Clock = std::chrono::steady_clock;
  // INFINITE, as on Windows: no time-out, and no timer armed for one.
  const Clock::time_point deadline = ms == WAIT_INFINITE ? Clock::time_point::max()
                                                          : Clock::now() + std::chrono::milliseconds(ms);
  e.waiters.fetch_add(1);
  WaitResult result;
  for (;;) {
    uint32_t word = e.word.load();
    if (!Holds(e, h, word)) {
      result = WaitResult::Failed;  // closed meanwhile
      break;
    }
    if ((word & SIGNALLED) != 0) {
      // Auto-reset: of several waiters, one takes the signal.
      if (!e.word.compare_exchange_weak(word, word & ~SIGNALLED)) continue;
      result = WaitResult::Signalled;
      break;
    }
    timespec left{};
    if (ms != WAIT_INFINITE) {
      const auto now = Clock::now();
      if (now >= deadline) {
        result = WaitResult::TimedOut;
        break;
      }
      const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(deadline - now).count();
      left.tv_sec = static_cast<time_t>(ns / 1000000000);
      left.tv_nsec = static_cast<long>(ns % 1000000000);
    }
    FutexWait(e.word, word, ms == WAIT_INFINITE ? nullptr : &left);
  }
  e.waiters.fetch_sub(1);
  return result;
}

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
    Event* e;
    EventHandle h;
    if (freeCount_ == 0) {
      h = serial << SLOT_BITS;
      auto made = std::make_shared<Event>();
      e = made.get();
      overflow_.emplace(h, std::move(made));
    } else {
      const std::size_t slot = freeSlots_[--freeCount_];
      h = (serial << SLOT_BITS) | (slot + 1);
      e = &slots_[slot];
    }
    e->handle.store(h);
    e->word.store(TagOf(h) << 1);  // unsignalled
    return h;
  }

  bool SetEvent(EventHandle h) override {
    std::shared_ptr<Event> held;  // keeps a heap event alive; a slot's lives as long as the table
    Event* const e = Resolve(h, held, false);
    if (e == nullptr || !ChangeSignal(*e, h, true)) return false;
    if (e->waiters.load() != 0) FutexWake(e->word, 1);
    return true;
  }

  bool ResetEvent(EventHandle h) override {
    std::shared_ptr<Event> held;
    Event* const e = Resolve(h, held, false);
    return e != nullptr && ChangeSignal(*e, h, false);
  }

  WaitResult WaitForSingleObject(EventHandle h, uint32_t ms) override {
    std::shared_ptr<Event> held;
    Event* const e = Resolve(h, held, false);
    return e == nullptr ? WaitResult::Failed : Wait(*e, h, ms);
  }

  bool CloseHandle(EventHandle h) override {
    std::shared_ptr<Event> overflowEvent;
    std::lock_guard guard(lock_);
    Event* const e = Resolve(h, overflowEvent);
    if (e == nullptr || e->handle.load() != h) return false;
    e->handle.store(NO_EVENT);
    e->word.store(0);  // a wait on a closed event ends
    if (e->waiters.load() != 0) FutexWake(e->word, INT_MAX);
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

  mutable std::mutex lock_;  // the free list, the serial, the overflow, and each event's making and closing
  EventHandle lastSerial_ = 0;
  std::array<Event, SLOT_COUNT> slots_;
  std::array<uint8_t, SLOT_COUNT> freeSlots_{};
  std::size_t freeCount_ = 0;
  std::unordered_map<EventHandle, std::shared_ptr<Event>> overflow_;
};

}  // namespace

EventService& SystemEvents() {
  // Never destroyed: threads that outlive main (a simulator worker that had
  // to be abandoned, a library's engine) may still wait on an event while
  // the process ends.
  static auto* const table = new EventTable;
  return *table;
}

extern "C" int zx_SetEvent(std::uintptr_t handle) { return SystemEvents().SetEvent(handle) ? 1 : 0; }
