// Windows: the display is the system's own and does not go away under a
// running program; making the application object does not fail for want of
// one. What can go is the session: a logoff or shutdown forced past the
// window's refusal during a run reaches the guard as the display's loss
// does on Linux (the entries route the window's session-ending handler
// here), and the run is finished without the window while the system waits.
#include <atomic>
#include <cstdio>

#include "app/entry/display_loss.h"
#include "app/entry/display_opening.h"
#include "app/toolkit/window_thread.h"
#include "platform/exit_process.h"
#include "platform/thread.h"

namespace {

constexpr uint32_t kRunPollMs = 50;
constexpr int kStatusAfterLoss = 1;

}  // namespace

DisplayOpening::DisplayOpening(const char*) {}

DisplayOpening::~DisplayOpening() { Done(); }

void DisplayOpening::Done() { done_ = true; }

DisplayLossGuard::DisplayLossGuard(const char* program, const RunState& run, std::function<void()> finish)
    : program_(program), run_(run), finish_(std::move(finish)) {}

DisplayLossGuard::~DisplayLossGuard() = default;

void DisplayLossGuard::DisplayLost() {
  if (!run_.runActive.load()) return;
  std::fprintf(stderr, "%s: the session is ending during a flash run: finishing the run without the window\n",
               program_);
  tk::AbandonWindow();
  while (run_.runActive.load()) platform::SleepMs(kRunPollMs);
  if (finish_) finish_();
  std::fprintf(stderr, "%s: the flash run is over; ending because the session ends\n", program_);
  platform::ExitProcess(kStatusAfterLoss);
}
