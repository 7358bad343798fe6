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

// Child modes; each returns the exit status. "idle=<ms> rss_kib=<k>":
// monotonic time once the window is up and its event loop idle, and the
// peak resident set so far.
int ChildStartup(int drives, bool emptyWindow);
// "flash_ms=<ms> rss_kib=<k>": from the click on Flash to the drive's last
// command of a successful run, and the peak resident set after it.
int ChildRun();

}  // namespace bench
