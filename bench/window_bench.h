// The window's costs: a status update of a run against a bare hand-over to
// the window thread, and the programs a benchmark starts as child processes
// (start-up to an idle window, an empty window, a whole run on an instant
// drive). Each child prints one line "<key>=<value> ..." on stdout.
// Threads: the window thread (the caller of main).
#pragma once

#include "bench/measure.h"

namespace bench {

struct StatusFigures {
  Comparison timing;             // the same text again, as most updates of a run
  Comparison changing;           // a new text each time
  double allocationsPerUpdate = 0;
};

// Needs the application object; runs the event loop while it measures.
StatusFigures StatusUpdate(int rounds, int batch);

// What a start-up child shows: the program's window, an empty window, or
// a plain Qt window with the program's controls and nothing behind them.
enum class Baseline { None, EmptyWindow, SameWindow };

// Child modes; each returns the exit status. "idle=<ms> rss_kib=<k>
// widgets=<n>": monotonic time once the window is up and its event loop
// idle, the peak resident set so far, and the widgets that exist.
int ChildStartup(int drives, Baseline baseline);
// "flash_ms=<ms> rss_kib=<k>": from the click on Flash to the drive's last
// command of a successful run, and the peak resident set after it.
// `traced`: with the command trace written to a scratch file, as
// ZORVEX_FLASH_TRACE would have it.
int ChildRun(bool traced = false);

}  // namespace bench
