// The way out when the window can no longer serve a run (Linux: the display
// is gone; Windows: the session ends all the same): says so in one line,
// abandons the window (the flash thread's window updates are skipped from
// then on, and a box it waits for, open or not yet shown, is answered as if
// the operator had pressed OK), waits for the flash thread to finish every
// command of the run, calls `finish` (the demo writes its flash dump
// there), and ends the process: after one line with the run's outcome,
// with kStatusAfterLossSucceeded or kStatusAfterLossFailed, or, when a
// request to end the program came during the run, with that request's
// status (platform/termination_requests.h). Returns at once when no run is
// on and none has just ended whose end its watch has still to carry out.
// Threads: window thread.
#pragma once

#include <functional>

struct Program;

inline constexpr int kStatusAfterLossSucceeded = 3;
inline constexpr int kStatusAfterLossFailed = 4;

// `lost` says what went ("the display is gone", "the session is ending").
void FinishRunWithoutWindow(const char* program, const char* lost, const Program& state,
                            const std::function<void()>& finish);
