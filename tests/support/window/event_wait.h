// Waiting on the window thread without blocking it: the flash thread hands
// every control change to the window thread, and its run's end waits for the
// window to catch up, so a test that waits for a run keeps the event loop
// turning.
// Threads: the window thread (the test's thread).
#pragma once

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <functional>

namespace testing_support {

// Runs the event loop until done() or the deadline; returns done(). Hand-overs
// from other threads wake the loop at once; the condition is looked at every
// millisecond, so a run that ends without posting anything is seen promptly.
inline bool ProcessEventsUntil(const std::function<bool()>& done, int timeoutMs = 5000) {
  if (done()) return true;
  QEventLoop loop;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
    if (done()) loop.quit();
  });
  QTimer deadline;
  deadline.setSingleShot(true);
  QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
  poll.start(1);
  deadline.start(timeoutMs);
  loop.exec();
  return done();
}

}  // namespace testing_support
