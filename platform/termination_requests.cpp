#include "platform/termination_requests.h"

#include <pthread.h>
#include <signal.h>
#include <string.h>
#include <unistd.h>

#include <cstdio>
#include <mutex>
#include <string>
#include <thread>

namespace platform {

namespace {

struct Deferral {
  std::mutex lock;
  bool deferring = false;
  int pending = 0;
  const char* program = "program";
};

Deferral& State() {
  static Deferral* state = new Deferral;  // never destroyed: the waiting thread outlives main
  return *state;
}

sigset_t Requests() {
  sigset_t set;
  sigemptyset(&set);
  for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaddset(&set, sig);
  return set;
}

std::string SignalName(int sig) {
  const char* abbreviation = sigabbrev_np(sig);
  return abbreviation ? std::string("SIG") + abbreviation : "signal " + std::to_string(sig);
}

// As if the signal had never been blocked: its default action, which ends
// the process.
[[noreturn]] void DieBy(int sig) {
  struct sigaction plain {};
  plain.sa_handler = SIG_DFL;
  sigaction(sig, &plain, nullptr);
  sigset_t one;
  sigemptyset(&one);
  sigaddset(&one, sig);
  pthread_sigmask(SIG_UNBLOCK, &one, nullptr);
  raise(sig);
  _exit(ExitStatusAfterRequest(sig));  // only if the default action was to go on
}

void Wait() {
  const sigset_t set = Requests();
  for (;;) {
    int sig = 0;
    if (sigwait(&set, &sig) != 0) continue;
    Deferral& state = State();
    std::unique_lock guard(state.lock);
    if (!state.deferring) {
      guard.unlock();
      DieBy(sig);
    }
    if (state.pending == 0) state.pending = sig;
    std::fprintf(stderr, "%s: %s during a flash run: the run is finished first, then the program ends\n",
                 state.program, SignalName(sig).c_str());
  }
}

}  // namespace

void InstallTerminationRequests(const char* program) {
  State().program = program;
  const sigset_t set = Requests();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  std::thread(Wait).detach();  // waits for the whole process
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
                 SignalName(request).c_str());
  return request;
}

int ExitStatusAfterRequest(int request) { return 128 + request; }

}  // namespace platform
