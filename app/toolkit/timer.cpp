// What a timer does is the same for every back-end; each back-end supplies
// only the timer itself (native.h).
#include "app/toolkit/timer.h"

#include "app/toolkit/native.h"
#include "app/toolkit/window_thread.h"

namespace tk {

void Timer::SetEnabled(bool enabled) {
  RunOnWindowThread([&] {
    // Enabling an enabled timer does not restart its count.
    if (enabled == native::TimerRunning(*timer_)) return;
    if (enabled)
      native::StartTimer(*timer_);
    else
      native::StopTimer(*timer_);
  });
}

bool Timer::Enabled() const {
  return CallOnWindowThread([&] { return native::TimerRunning(*timer_); });
}

void Timer::SetInterval(int ms) {
  // A running timer restarts with the new interval: inside the tick handler
  // that makes it the distance to the following tick.
  RunOnWindowThread([&] { native::SetTimerInterval(*timer_, ms); });
}

int Timer::Interval() const {
  return CallOnWindowThread([&] { return native::TimerInterval(*timer_); });
}

void Timer::OnTimer(std::function<void()> handler) {
  RunOnWindowThread([&] { handler_ = std::move(handler); });
}

void Timer::Tick() {
  RunOnWindowThread([&] {
    // A copy: the handler may replace itself.
    if (auto call = handler_) call();
  });
}

}  // namespace tk
