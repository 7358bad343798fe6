#include "app/toolkit/timer.h"

#include <QTimer>

#include "app/toolkit/window_thread.h"

namespace tk {

Timer::Timer() : timer_(new QTimer) {
  timer_->setTimerType(Qt::PreciseTimer);
  timer_->setInterval(kDefaultIntervalMs);
  QObject::connect(timer_, &QTimer::timeout, timer_, [this] { Tick(); });
}

Timer::~Timer() { delete timer_; }

void Timer::SetEnabled(bool enabled) {
  RunOnWindowThread([&] {
    if (enabled && !timer_->isActive())
      timer_->start();
    else if (!enabled)
      timer_->stop();
  });
}

bool Timer::Enabled() const {
  return CallOnWindowThread([&] { return timer_->isActive(); });
}

void Timer::SetInterval(int ms) {
  // A running QTimer restarts with the new interval: inside the tick handler
  // that makes it the distance to the following tick.
  RunOnWindowThread([&] { timer_->setInterval(ms); });
}

int Timer::Interval() const {
  return CallOnWindowThread([&] { return timer_->interval(); });
}

void Timer::OnTimer(std::function<void()> handler) {
  RunOnWindowThread([&] { handler_ = std::move(handler); });
}

void Timer::Tick() {
  RunOnWindowThread([&] {
    if (auto call = handler_) call();
  });
}

}  // namespace tk
