#include "app/entry/display_loss.h"

#include <QString>
#include <QtGlobal>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/program.h"
#include "app/toolkit/window_thread.h"
#include "platform/exit_process.h"
#include "platform/termination_requests.h"
#include "platform/thread.h"

namespace {

constexpr uint32_t kRunPollMs = 50;

std::atomic<DisplayLossGuard*> current{nullptr};
QtMessageHandler previous = nullptr;

// Qt's own words when the connection breaks (X11: qxcbconnection; Wayland:
// qwaylanddisplay); the way out follows the warning at once.
bool SaysConnectionBroke(const QString& text) {
  return text.contains(QLatin1String("X11 connection broke")) ||
         text.contains(QLatin1String("Wayland connection broke")) ||
         text.contains(QLatin1String("Wayland connection experienced a fatal error"));
}

void OnMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (previous)
    previous(type, context, text);
  else
    std::fprintf(stderr, "%s\n", qPrintable(text));
  if (type != QtDebugMsg && type != QtInfoMsg && SaysConnectionBroke(text))
    if (DisplayLossGuard* guard = current.load()) guard->DisplayLost();
}

void OnExit() {
  if (DisplayLossGuard* guard = current.load()) guard->DisplayLost();
}

}  // namespace

DisplayLossGuard::DisplayLossGuard(const char* program, const Program& state, std::function<void()> finish)
    : program_(program), state_(state), finish_(std::move(finish)) {
  static const bool hooked = [] {
    previous = qInstallMessageHandler(OnMessage);
    return std::atexit(OnExit) == 0;
  }();
  (void)hooked;
  current.store(this);
}

DisplayLossGuard::~DisplayLossGuard() {
  DisplayLossGuard* self = this;
  current.compare_exchange_strong(self, nullptr);
}

void DisplayLossGuard::DisplayLost() {
  const RunState& run = state_.run;
  if (!run.runActive.load()) return;
  std::fprintf(stderr, "%s: the display is gone during a flash run: finishing the run without the window\n",
               program_);
  // Here on the window thread, maybe inside a box the flash thread waits
  // for: the abandonment answers it, and this thread never returns to it.
  tk::AbandonWindow();
  while (run.runActive.load()) platform::SleepMs(kRunPollMs);
  if (finish_) finish_();
  const std::string outcome = RunOutcomeInEnglish(state_);
  const bool succeeded = run.completion.load() == COMPLETION_SUCCESS;
  if (const int request = platform::EndDeferral(outcome); request != 0)
    platform::ExitProcess(platform::ExitStatusAfterRequest(request, succeeded));
  std::fprintf(stderr, "%s: the flash run is over: \"%s\"; ending because the display is gone\n", program_,
               outcome.c_str());
  platform::ExitProcess(succeeded ? kStatusAfterLossSucceeded : kStatusAfterLossFailed);
}
