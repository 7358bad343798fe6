// Windows: the display is the system's own and does not go away under a
// running program; making the application object does not fail for want of
// one. What can go is the session: a logoff or shutdown forced past the
// window's refusal during a run reaches the guard as the display's loss
// does on Linux (the entries route the window's session-ending handler
// here), and the run is finished without the window while the system waits.
#include "app/entry/display_loss.h"
#include "app/entry/display_opening.h"

DisplayOpening::DisplayOpening(const char*) {}

DisplayOpening::~DisplayOpening() { Done(); }

void DisplayOpening::Done() { done_ = true; }

DisplayLossGuard::DisplayLossGuard(const char* program, const Program& state, std::function<void()> finish)
    : program_(program), state_(state), finish_(std::move(finish)) {}

DisplayLossGuard::~DisplayLossGuard() = default;

void DisplayLossGuard::DisplayLost() { FinishRunWithoutWindow(program_, "the session is ending", state_, finish_); }
