// Surviving the loss of the display during a flash run. When the
// connection to the X server or the Wayland compositor breaks, Qt ends the
// process from the window thread (exit, or _exit after a warning); in the
// middle of a run that would cut the drive off between two commands, with
// part of its firmware erased. While a guard exists and a run is on, either
// way out instead: says so in one line, abandons the window (the flash
// thread's window updates are skipped from then on, and a box it waits for,
// open or not yet shown, is answered as if the operator had pressed OK),
// waits for the flash thread to finish every command of the run, calls
// `finish` (the demo writes its flash dump there), and only then ends the
// process: after one line with the run's outcome, with
// kStatusAfterLossSucceeded or kStatusAfterLossFailed, or, when a request
// to end the program came during the run, with that request's status
// (platform/termination_requests.h). Outside a run the loss ends the
// program as before. On Windows the display does not go away under a
// running program, and a guard does nothing.
// Threads: made and destroyed on the window thread; the run's state is read
// from the window thread when the display goes.
#pragma once

#include <functional>

struct Program;

inline constexpr int kStatusAfterLossSucceeded = 3;
inline constexpr int kStatusAfterLossFailed = 4;

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
