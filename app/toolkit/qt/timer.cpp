// The Qt back-end's timer: a QTimer.
#include <QTimer>

#include "app/toolkit/native.h"

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

namespace native {

void StartTimer(NativeTimer& timer) { timer.timer.start(); }

void StopTimer(NativeTimer& timer) { timer.timer.stop(); }

bool TimerRunning(const NativeTimer& timer) { return timer.timer.isActive(); }

// A running QTimer restarts with the new interval.
void SetTimerInterval(NativeTimer& timer, int ms) { timer.timer.setInterval(ms); }

int TimerInterval(const NativeTimer& timer) { return timer.timer.interval(); }

}  // namespace native

}  // namespace tk
