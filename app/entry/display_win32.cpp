// Windows: the display is the system's own and does not go away under a
// running program; making the application object does not fail for want of one.
#include "app/entry/display_loss.h"
#include "app/entry/display_opening.h"

DisplayOpening::DisplayOpening(const char*) {}

DisplayOpening::~DisplayOpening() { Done(); }

void DisplayOpening::Done() { done_ = true; }

DisplayLossGuard::DisplayLossGuard(const char* program, const Program& state, std::function<void()> finish)
    : program_(program), state_(state), finish_(std::move(finish)) {}

DisplayLossGuard::~DisplayLossGuard() = default;

void DisplayLossGuard::DisplayLost() {}
