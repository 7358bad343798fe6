// The timer of the Win32 back-end: SetTimer on the hand-over window, the
// timer's own address as its id. Setting a running timer again (a new
// interval) restarts its count, so an interval set inside the tick handler
// is the distance to the following tick.
#include <map>

#include "app/toolkit/timer.h"
#include "app/toolkit/win32/win32_native.h"
#include "app/toolkit/native.h"

namespace tk {

struct NativeTimer {
  Timer* owner;
  int interval = Timer::kDefaultIntervalMs;
  bool enabled = false;
  UINT_PTR Id() const { return reinterpret_cast<UINT_PTR>(this); }
  void Arm() const { ::SetTimer(HandOverWindow(), Id(), static_cast<UINT>(interval), nullptr); }
  void Disarm() const { ::KillTimer(HandOverWindow(), Id()); }
};

namespace {

// Every timer that exists, by id; window thread only.
std::map<UINT_PTR, NativeTimer*>& Timers() {
  static std::map<UINT_PTR, NativeTimer*> timers;
  return timers;
}

}  // namespace

void TickTimer(UINT_PTR id) {
  const auto found = Timers().find(id);
  if (found != Timers().end()) found->second->owner->Tick();
}

Timer::Timer() : timer_(std::make_unique<NativeTimer>()) {
  timer_->owner = this;
  Timers()[timer_->Id()] = timer_.get();
}

Timer::~Timer() {
  if (timer_->enabled) timer_->Disarm();
  Timers().erase(timer_->Id());
}

namespace native {

void StartTimer(NativeTimer& timer) {
  timer.enabled = true;
  timer.Arm();
}

void StopTimer(NativeTimer& timer) {
  timer.enabled = false;
  timer.Disarm();
}

bool TimerRunning(const NativeTimer& timer) { return timer.enabled; }

void SetTimerInterval(NativeTimer& timer, int ms) {
  timer.interval = ms;
  if (timer.enabled) timer.Arm();
}

int TimerInterval(const NativeTimer& timer) { return timer.interval; }

}  // namespace native

}  // namespace tk
