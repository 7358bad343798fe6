// What a timer does on a tick is the same for every back-end; each back-end
// supplies only the timer itself (timer.cpp, win32_timer.cpp).
#include "app/toolkit/timer.h"

#include "app/toolkit/window_thread.h"

namespace tk {

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
