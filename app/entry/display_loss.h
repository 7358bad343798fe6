// Surviving the loss of the display during a flash run. When the
// connection to the X server or the Wayland compositor breaks, Qt ends the
// process from the window thread (exit, or _exit after a warning); in the
// middle of a run that would cut the drive off between two commands, with
// part of its firmware erased. While a guard exists and a run is on, either
// way out instead: the run is finished without the window
// (app/entry/run_without_window.h), and only then does the process end.
// Outside a run the loss ends the program as before. On Windows the
// display does not go away under a running program; there the guard takes
// a session that ends all the same during a run the same way.
// Threads: made and destroyed on the window thread; the run's state is read
// from the window thread when the display goes.
#pragma once

#include <functional>

#include "app/entry/run_without_window.h"

struct Program;

class DisplayLossGuard {
 public:
  DisplayLossGuard(const char* program, const Program& state, std::function<void()> finish = {});
  ~DisplayLossGuard();
  DisplayLossGuard(const DisplayLossGuard&) = delete;
  DisplayLossGuard& operator=(const DisplayLossGuard&) = delete;

  // What happens when the display goes; public for the tests, which have no
  // display to lose. Returns only when no run is on.
  void DisplayLost();

 private:
  const char* program_;
  const Program& state_;
  std::function<void()> finish_;
};
