// The process's event table on the system's auto-reset events. Handles are
// the system's, so an ASPI library can signal them with kernel32's SetEvent.
//
// Closing retires the event instead of closing its system handle: while the
// system object stays open, the system cannot give its handle value to a
// new object, so a completion that comes after its caller gave up reaches a
// dead event, never someone else's.
#include <mutex>
#include <unordered_set>
#include <vector>

#include "platform/event.h"
#include "platform/win32/windows_api.h"

namespace {

HANDLE AsHandle(EventHandle h) { return reinterpret_cast<HANDLE>(h); }

class Win32EventTable final : public EventService {
 public:
  EventHandle CreateEvent() override {
    // Unnamed, auto-reset, initially unsignalled.
    HANDLE system = ::CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (system == nullptr) return NO_EVENT;
    const auto h = reinterpret_cast<EventHandle>(system);
    std::lock_guard guard(lock_);
    open_.insert(h);
    return h;
  }

  bool SetEvent(EventHandle h) override {
    // Under the lock, so that no signal through the table lands after its
    // CloseHandle has returned.
    std::lock_guard guard(lock_);
    return open_.count(h) == 1 && ::SetEvent(AsHandle(h)) != FALSE;
  }

  bool ResetEvent(EventHandle h) override {
    std::lock_guard guard(lock_);
    return open_.count(h) == 1 && ::ResetEvent(AsHandle(h)) != FALSE;
  }

  WaitResult WaitForSingleObject(EventHandle h, uint32_t ms) override {
    {
      std::lock_guard guard(lock_);
      if (open_.count(h) == 0) return WaitResult::Failed;
    }
    // A close during the wait retires the object but leaves it valid.
    switch (::WaitForSingleObject(AsHandle(h), ms)) {
      case WAIT_OBJECT_0:
        return WaitResult::Signalled;
      case WAIT_TIMEOUT:
        return WaitResult::TimedOut;
      default:
        return WaitResult::Failed;
    }
  }

  bool CloseHandle(EventHandle h) override {
    std::lock_guard guard(lock_);
    if (open_.erase(h) == 0) return false;
    retired_.push_back(h);
    return true;
  }

  std::size_t OpenCount() const override {
    std::lock_guard guard(lock_);
    return open_.size();
  }

 private:
  mutable std::mutex lock_;
  std::unordered_set<EventHandle> open_;
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
