#include "platform/termination_deferral.h"

#include <cstdio>
#include <mutex>

#include "platform/termination_requests.h"

namespace platform {

namespace {

struct Deferral {
  std::mutex lock;
  bool deferring = false;
  int pending = 0;
  const char* program = "program";
};

Deferral& State() {
  // Never destroyed: requests may come while the process exits.
  static Deferral* state = new Deferral;
  return *state;
}

}  // namespace

void SetDeferralProgramName(const char* program) {
  std::lock_guard guard(State().lock);
  State().program = program;
}

bool NoteDeferredRequest(int request) {
  Deferral& state = State();
  std::lock_guard guard(state.lock);
  if (!state.deferring) return false;
  if (state.pending == 0) state.pending = request;
  std::fprintf(stderr, "%s: %s during a flash run: the run is finished first, then the program ends\n",
               state.program, RequestName(request).c_str());
  return true;
}

void DeferTermination() {
  std::lock_guard guard(State().lock);
  State().deferring = true;
}

int EndDeferral() {
  Deferral& state = State();
  std::lock_guard guard(state.lock);
  state.deferring = false;
  const int request = state.pending;
  state.pending = 0;
  if (request != 0)
    std::fprintf(stderr, "%s: the flash run is over; ending as %s asked\n", state.program,
                 RequestName(request).c_str());
  return request;
}

}  // namespace platform
