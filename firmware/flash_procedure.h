// The flash run: one TScreenThread per press of the flash button, which
// reads the whole container, writes part one into drive unit 0 and part two
// into unit 1, shows a status after every step and reports the outcome
// through the completion flag.
//
// The window's reference to the run: a self-deleting thread may be gone
// before its constructor's caller gets the pointer back, so the constructor
// itself stores its reference in form.flashThread before it starts the run;
// callers keep nothing else.
//
// The run addresses the drive that was selected when the thread was made
// (taken on the window thread, at the click), not whatever a pick in the
// drive list selects while it runs.
//
// When the run ends, however it ends, it clears program.run.runActive as the
// last thing it does with the program or the window; from then on no drive
// command can come from it.
// Threads: construction and StartFlashRun on the window thread; Execute on
// the run's own thread, which reaches the window's controls only through the
// toolkit (each change carried out on the window thread before it goes on).
#pragma once

#include <stdexcept>

#include "app/run_state.h"
#include "app/toolkit/thread.h"

struct Program;
class TForm1;

// Thrown by the constructor when no thread could be made; the failure has
// been shown and the run's flags settled by then.
class FlashThreadNotStarted : public std::runtime_error {
 public:
  FlashThreadNotStarted() : std::runtime_error("flash thread not started") {}
};

class TScreenThread final : public tk::Thread {
 public:
  // Created suspended, marked to delete itself when Execute returns, its
  // reference stored in form.flashThread, then started. Use the object no
  // further: it may already be gone when this returns.
  TScreenThread(Program& program, TForm1& form);

 protected:
  // The flash procedure. Never looks at the termination request.
  void Execute() override;

 private:
  Program& program_;
  TForm1& form_;
  const DriveAddress drive_;
};

// Starts a run as Button1Click does: a new TScreenThread, whose reference
// lands in form.flashThread. A thread that cannot be made ends as a failed
// run (Flashing Error shown, completion flag 2, Timer1 stopped, runActive
// cleared). Window thread.
void StartFlashRun(Program& program, TForm1& form);
