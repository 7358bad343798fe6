// The flash run: one TScreenThread per press of the flash button, which
// reads the whole container, writes part one into drive unit 0 and part two
// into unit 1, shows a status after every step and reports the outcome
// through the completion flag.
//
// The window's reference to the run: a self-deleting thread may be gone
// before its constructor's caller gets the pointer back, so the constructor
// itself stores its reference in the caller's slot before it starts the run;
// callers keep nothing else.
//
// The run addresses the drive that was selected when the thread was made
// (taken on the window thread, at the click), not whatever a pick in the
// drive list selects while it runs.
//
// When the run ends, however it ends, it clears run.runActive as the last
// thing it does with the program's state or the view; from then on no drive
// command can come from it.
// Threads: construction and StartFlashRun on the window thread; Execute on
// the run's own thread, which reaches the window only through the FlashView
// (each change carried out on the window thread before it goes on).
#pragma once

#include <stdexcept>

#include "drive/command_channel.h"
#include "firmware/container_info.h"
#include "firmware/run_state.h"
#include "firmware/status_view.h"
#include "platform/thread_class.h"

// What a run works with: the channel its commands go through, the run state
// it reports in, and what the start-up check kept of the container.
struct FlashContext {
  CommandChannel& channel;
  RunState& run;
  const ContainerInfo& container;
};

// Thrown by the constructor when no thread could be made; the failure has
// been shown and the run's flags settled by then.
class FlashThreadNotStarted : public std::runtime_error {
 public:
  FlashThreadNotStarted() : std::runtime_error("flash thread not started") {}
};

class TScreenThread final : public platform::Thread {
 public:
  // Created suspended, marked to delete itself when Execute returns, its
  // reference stored in `slot`, then started. Use the object no further: it
  // may already be gone when this returns.
  TScreenThread(const FlashContext& context, FlashView& view, platform::ThreadRef& slot);

 protected:
  // The flash procedure. Never looks at the termination request.
  void Execute() override;

 private:
  const FlashContext context_;
  FlashView& view_;
  const DriveAddress drive_;
};

// Starts a run as Button1Click does: a new TScreenThread, whose reference
// lands in `slot`. A thread that cannot be made ends as a failed run
// (Flashing Error shown, completion flag 2, progress stopped, runActive
// cleared). Window thread.
void StartFlashRun(const FlashContext& context, FlashView& view, platform::ThreadRef& slot);

// Settles a run that was not started, with nothing sent to the drive, the
// way a run without a thread ends: Flashing Error shown, completion flag 2,
// progress stopped, runActive cleared. Window thread.
void SettleUnstartedRun(const FlashContext& context, FlashView& view);
