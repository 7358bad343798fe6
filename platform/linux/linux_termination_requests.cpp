#include "platform/termination_requests.h"

#include <pthread.h>
#include <signal.h>
#include <string.h>
#include <unistd.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/removal_on_signal.h"
#include "platform/termination_deferral.h"

namespace platform {

namespace {

// Every signal whose default action ends or stops the process and that can
// be blocked; the faults (SIGSEGV, SIGBUS, SIGFPE, SIGILL), SIGABRT, SIGTRAP
// and SIGSYS come from the program itself or its debugger and keep their
// way. SIGPIPE is ignored instead.
std::vector<int> Candidates() {
  std::vector<int> signals = {SIGINT,    SIGTERM,   SIGHUP,  SIGQUIT, SIGUSR1, SIGUSR2,
                              SIGALRM,   SIGVTALRM, SIGPROF, SIGXCPU, SIGXFSZ, SIGPWR,
                              SIGSTKFLT, SIGIO,     SIGTSTP, SIGTTIN, SIGTTOU};
  for (int sig = SIGRTMIN; sig <= SIGRTMAX; ++sig) signals.push_back(sig);
  return signals;
}

// The signals taken over at Install: fixed before the waiting thread starts.
sigset_t taken;

void SetDefaultAction(int sig) {
  struct sigaction plain {};
  plain.sa_handler = SIG_DFL;
  sigemptyset(&plain.sa_mask);
  sigaction(sig, &plain, nullptr);
}

sigset_t Only(int sig) {
  sigset_t one;
  sigemptyset(&one);
  sigaddset(&one, sig);
  return one;
}

// Raised at this thread with its default action and the signal let through
// here alone: the kernel acts on it before raise returns.
void RaiseWithDefaultAction(int sig) {
  SetDefaultAction(sig);
  const sigset_t one = Only(sig);
  pthread_sigmask(SIG_UNBLOCK, &one, nullptr);
  raise(sig);
}

// As if the signal had never been blocked: its default action, which ends
// the process, or stops it until it is continued.
void ActAsDefault(int sig) {
  if (IsStopRequest(sig)) {
    CarryOutStop(sig);
    return;
  }
  // A temporary file being written (the demo's flash dump) must not outlive
  // the process; nothing will rename it now.
  RemoveRegisteredFiles();
  RaiseWithDefaultAction(sig);
  _exit(128 + sig);  // only if the default action was to go on
}

void Wait() {
  for (;;) {
    int sig = 0;
    if (sigwait(&taken, &sig) != 0) continue;
    if (sig == SIGCONT)
      NoteContinued();
    else if (!NoteDeferredRequest(sig))
      ActAsDefault(sig);
  }
}

}  // namespace

std::string RequestName(int sig) {
  const char* abbreviation = sigabbrev_np(sig);
  return abbreviation ? std::string("SIG") + abbreviation : "signal " + std::to_string(sig);
}

bool IsStopRequest(int sig) { return sig == SIGTSTP || sig == SIGTTIN || sig == SIGTTOU; }

void CarryOutStop(int sig) {
  // The kernel stops the whole process before raise returns, and a stop in
  // an orphaned process group is dropped, exactly as the default action does.
  RaiseWithDefaultAction(sig);
  const sigset_t one = Only(sig);
  pthread_sigmask(SIG_BLOCK, &one, nullptr);
}

void InstallTerminationRequests(const char* program) {
  SetDeferralProgramName(program);
  IgnoreClosedPipes();
  // A signal ignored from the start was ignored on purpose by whoever
  // started the program (nohup, a shell's background job): it stays so.
  sigemptyset(&taken);
  for (int sig : Candidates()) {
    struct sigaction current {};
    if (sigaction(sig, nullptr, &current) != 0) continue;
    if ((current.sa_flags & SA_SIGINFO) == 0 && current.sa_handler == SIG_IGN) continue;
    sigaddset(&taken, sig);
  }
  // Only heard, never acted on: the kernel continues the process whether
  // or not the signal is blocked.
  sigaddset(&taken, SIGCONT);
  pthread_sigmask(SIG_BLOCK, &taken, nullptr);
  std::thread(Wait).detach();  // waits for the whole process
}

int ExitStatusAfterRequest(int request, bool runSucceeded) { return (runSucceeded ? 128 : 64) + request; }

}  // namespace platform
