// The receiver of the window thread's wake-ups: a call handed over from
// another thread is queued by the toolkit, and this object, living on the
// window thread, is asked by name to run the oldest one. Qt back-end only.
// Threads: Instance from any thread; Run on the window thread.
#pragma once

#include <QObject>

namespace tk {

class WakeUp : public QObject {
  Q_OBJECT

 public:
  static WakeUp* Instance();  // nullptr before the application object

 public slots:
  void Run();
};

}  // namespace tk
