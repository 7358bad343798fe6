#include "platform/termination_requests.h"

#include <pthread.h>
#include <signal.h>
#include <string.h>
#include <unistd.h>

#include <string>
#include <thread>

#include "platform/termination_deferral.h"

namespace platform {

namespace {

sigset_t Requests() {
  sigset_t set;
  sigemptyset(&set);
  for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaddset(&set, sig);
  return set;
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
    if (!NoteDeferredRequest(sig)) DieBy(sig);
  }
}

}  // namespace

std::string RequestName(int sig) {
  const char* abbreviation = sigabbrev_np(sig);
  return abbreviation ? std::string("SIG") + abbreviation : "signal " + std::to_string(sig);
}

void InstallTerminationRequests(const char* program) {
  SetDeferralProgramName(program);
  const sigset_t set = Requests();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  std::thread(Wait).detach();  // waits for the whole process
}

int ExitStatusAfterRequest(int request) { return 128 + request; }

}  // namespace platform
