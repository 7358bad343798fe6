// Waiting in tests on the window thread without blocking it: other threads
// may need it to run their control operations.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <functional>

namespace testing_support {

// Processes events until done() or the deadline; returns done().
inline bool ProcessEventsUntil(const std::function<bool()>& done, int timeoutMs = 5000) {
  QElapsedTimer clock;
  clock.start();
  while (!done() && clock.elapsed() < timeoutMs) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  return done();
}

}  // namespace testing_support
