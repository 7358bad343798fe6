// --auto-flash: presses OK on every message box that comes up (the
// "Reserved" box, the start-up ASPI boxes, the fatal "ASPI32 error" box, an
// exception report), so that a run without a person never waits forever.
// Each press is said with the box's text. Runs from construction,
// also inside a box's own message loop, until destruction.
// Threads: window thread.
#pragma once

#include "app/entry/demo_services.h"
#include "app/toolkit/timer.h"

namespace demo {

class BoxPresser {
 public:
  explicit BoxPresser(DemoSay say);
  int Presses() const { return presses_; }

 private:
  void Look();

  DemoSay say_;
  tk::Timer look_;
  int presses_ = 0;
};

}  // namespace demo
