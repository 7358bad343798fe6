#include "platform/termination_deferral.h"

#include <cstdio>

#include "platform/lock.h"
#include "platform/standard_streams.h"
#include "platform/termination_requests.h"

namespace platform {

namespace {

struct Deferral {
  platform::Mutex lock;
  bool deferring = false;
  int pendingEnd = 0;
  int pendingStop = 0;
  const char* program = "program";
};

Deferral& State() {
  // Never destroyed: requests may come while the process exits.
  static Deferral* state = new Deferral;
  return *state;
}

}  // namespace

void SetDeferralProgramName(const char* program) {
  platform::LockGuard guard(State().lock);
  State().program = program;
}

bool NoteDeferredRequest(int request) {
  Deferral& state = State();
  platform::LockGuard guard(state.lock);
  if (!state.deferring) return false;
  const bool stop = IsStopRequest(request);
  int& pending = stop ? state.pendingStop : state.pendingEnd;
  if (pending == 0) pending = request;
  // The line may go to a reader that is gone; it is then lost, nothing more.
  SayLine("%s: %s during a flash run: the run is finished first, then the program %s",
               state.program, RequestName(request).c_str(), stop ? "stops" : "ends");
  return true;
}

void NoteContinued() {
  Deferral& state = State();
  platform::LockGuard guard(state.lock);
  if (!state.deferring || state.pendingStop == 0) return;
  SayLine("%s: continued during a flash run: the program no longer stops after it", state.program);
  state.pendingStop = 0;
}

void DeferTermination() {
  platform::LockGuard guard(State().lock);
  State().deferring = true;
}

bool TerminationDeferred() {
  platform::LockGuard guard(State().lock);
  return State().deferring;
}

int EndDeferral(std::string_view outcome) {
  Deferral& state = State();
  int end = 0;
  int stop = 0;
  const char* program = nullptr;
  {
    platform::LockGuard guard(state.lock);
    state.deferring = false;
    end = state.pendingEnd;
    stop = state.pendingStop;
    state.pendingEnd = state.pendingStop = 0;
    program = state.program;
  }
  if (end == 0 && stop == 0) return 0;
  std::string what;
  if (stop != 0) what = "stopping as " + RequestName(stop) + " asked";
  if (stop != 0 && end != 0) what += ", then ";
  if (end != 0) what += "ending as " + RequestName(end) + " asked";
  SayLine("%s: the flash run is over: \"%.*s\"; %s", program, static_cast<int>(outcome.size()),
               outcome.data(), what.c_str());
  // Stopped as the operator asked, before ending: a shell that stopped the
  // job sees it stop, and an end asked for meanwhile follows its continue.
  if (stop != 0) CarryOutStop(stop);
  return end;
}

}  // namespace platform
