// Window-thread timer. Its interval is 1000 ms until set; an interval set
// inside its own tick handler takes effect for the following tick. Enabling
// an enabled timer does not restart its count.
// Threads: construction and destruction on the window thread; operations from
// any thread run on the window thread; ticks run on the window thread.
#pragma once

#include <functional>
#include <memory>

namespace tk {

// The back-end's own timer (a QTimer, or a Win32 timer's state).
struct NativeTimer;

class Timer {
 public:
  static constexpr int kDefaultIntervalMs = 1000;

  Timer();
  ~Timer();
  Timer(const Timer&) = delete;
  Timer& operator=(const Timer&) = delete;

  void SetEnabled(bool enabled);
  bool Enabled() const;
  void SetInterval(int ms);
  int Interval() const;
  // Replaces the previous handler.
  void OnTimer(std::function<void()> handler);
  void Tick();  // runs one tick now, for tests

 private:
  std::unique_ptr<NativeTimer> timer_;
  std::function<void()> handler_;
};

}  // namespace tk
