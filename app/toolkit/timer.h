// Window-thread timer. Its interval is 1000 ms until set; an interval set
// inside its own tick handler takes effect for the following tick.
// Threads: operations from any thread run on the window thread; ticks run
// on the window thread.
#pragma once

#include <functional>

class QTimer;

namespace tk {

class Timer {
 public:
  Timer();
  ~Timer();
  void SetEnabled(bool enabled);
  bool Enabled() const;
  void SetInterval(int ms);
  int Interval() const;
  void OnTimer(std::function<void()> handler);
  void Tick();  // runs one tick now, for tests

 private:
  QTimer* timer_;
  std::function<void()> handler_;
};

}  // namespace tk
