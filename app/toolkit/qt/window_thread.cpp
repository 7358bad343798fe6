// The Qt back-end's part of the hand-over: which thread is the window
// thread, and the wake-up.
#include "app/toolkit/hand_over_queue.h"
#include "app/toolkit/qt/wake_up.h"
#include "app/toolkit/window_thread.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

namespace tk {

bool OnWindowThread() {
  const QCoreApplication* app = QCoreApplication::instance();
  return app == nullptr || QThread::currentThread() == app->thread();
}

bool WindowThreadReachable() { return WakeUp::Instance() != nullptr; }

void WakeWindowThread() {
  // Named, not a functor: the wake-up is then made and freed inside Qt alone,
  // and no object of ours crosses threads through Qt's own queue, whose
  // locking ThreadSanitizer cannot see.
  QMetaObject::invokeMethod(WakeUp::Instance(), "Run", Qt::QueuedConnection);
}

}  // namespace tk
