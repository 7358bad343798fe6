#include "platform/event.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace {

struct Event {
  std::mutex lock;
  std::condition_variable changed;
  bool signalled = false;
};

class EventTable final : public EventService {
 public:
  EventHandle CreateEvent() override {
    std::lock_guard guard(lock_);
    const EventHandle h = ++last_;
    events_.emplace(h, std::make_shared<Event>());
    return h;
  }

  bool SetEvent(EventHandle h) override {
    auto e = Find(h);
    if (!e) return false;
    {
      std::lock_guard guard(e->lock);
      e->signalled = true;
    }
    e->changed.notify_one();
    return true;
  }

  bool ResetEvent(EventHandle h) override {
    auto e = Find(h);
    if (!e) return false;
    std::lock_guard guard(e->lock);
    e->signalled = false;
    return true;
  }

  WaitResult WaitForSingleObject(EventHandle h, uint32_t ms) override {
    auto e = Find(h);
    if (!e) return WaitResult::Failed;
    std::unique_lock guard(e->lock);
    if (!e->changed.wait_for(guard, std::chrono::milliseconds(ms), [&] { return e->signalled; }))
      return WaitResult::TimedOut;
    e->signalled = false;  // auto-reset: one waiter takes the signal
    return WaitResult::Signalled;
  }

  bool CloseHandle(EventHandle h) override {
    std::lock_guard guard(lock_);
    return events_.erase(h) == 1;
  }

  std::size_t OpenCount() const override {
    std::lock_guard guard(lock_);
    return events_.size();
  }

 private:
  std::shared_ptr<Event> Find(EventHandle h) {
    std::lock_guard guard(lock_);
    auto it = events_.find(h);
    return it == events_.end() ? nullptr : it->second;
  }

  mutable std::mutex lock_;
  EventHandle last_ = NO_EVENT;
  std::unordered_map<EventHandle, std::shared_ptr<Event>> events_;
};

}  // namespace

EventService& SystemEvents() {
  static EventTable table;
  return table;
}

extern "C" int zx_SetEvent(std::uintptr_t handle) { return SystemEvents().SetEvent(handle) ? 1 : 0; }
