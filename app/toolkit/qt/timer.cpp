#include "app/toolkit/timer.h"

#include <QTimer>

#include "app/toolkit/window_thread.h"

namespace tk {

struct NativeTimer {
  QTimer timer;
};

Timer::Timer() : timer_(std::make_unique<NativeTimer>()) {
  timer_->timer.setTimerType(Qt::PreciseTimer);
  timer_->timer.setInterval(kDefaultIntervalMs);
  QObject::connect(&timer_->timer, &QTimer::timeout, &timer_->timer, [this] { Tick(); });
}

Timer::~Timer() = default;

void Timer::SetEnabled(bool enabled) {
  RunOnWindowThread([&] {
    if (enabled && !timer_->timer.isActive())
      timer_->timer.start();
    else if (!enabled)
      timer_->timer.stop();
  });
}

bool Timer::Enabled() const {
  return CallOnWindowThread([&] { return timer_->timer.isActive(); });
}

void Timer::SetInterval(int ms) {
  // A running QTimer restarts with the new interval: inside the tick handler
  // that makes it the distance to the following tick.
  RunOnWindowThread([&] { timer_->timer.setInterval(ms); });
}

int Timer::Interval() const {
  return CallOnWindowThread([&] { return timer_->timer.interval(); });
}

}  // namespace tk
