#include "app/entry/run_without_window.h"

#include <cstdio>
#include <string>

#include "app/messages.h"
#include "app/program.h"
#include "app/toolkit/window_thread.h"
#include "platform/exit_process.h"
#include "platform/termination_requests.h"
#include "platform/thread.h"
#include "platform/standard_streams.h"

namespace {

constexpr uint32_t kRunPollMs = 50;

}  // namespace

void FinishRunWithoutWindow(const char* program, const char* lost, const Program& state,
                            const std::function<void()>& finish) {
  const RunState& run = state.run;
  // A run that has just ended, before its watch carried its end out, still
  // has its outcome to say and a request that came during it to honour.
  if (!run.runActive.load() && !platform::TerminationDeferred()) return;
  platform::SayLine("%s: %s during a flash run: finishing the run without the window", program, lost);
  // Here on the window thread, maybe inside a box the flash thread waits
  // for: the abandonment answers it, and this thread never returns to it.
  tk::AbandonWindow();
  while (run.runActive.load()) platform::SleepMs(kRunPollMs);
  if (finish) finish();
  const std::string outcome = RunOutcomeInEnglish(state);
  const bool succeeded = run.completion.load() == COMPLETION_SUCCESS;
  if (const int request = platform::EndDeferral(outcome); request != 0)
    platform::ExitProcess(platform::ExitStatusAfterRequest(request, succeeded));
  platform::SayLine("%s: the flash run is over: \"%s\"; ending because %s", program, outcome.c_str(), lost);
  platform::ExitProcess(succeeded ? kStatusAfterLossSucceeded : kStatusAfterLossFailed);
}
