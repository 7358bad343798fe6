// Windows: a console control handler. Ctrl+C and Ctrl+Break are answered
// as handled during a deferral; every other console event (close, logoff,
// shutdown) and any event outside a deferral go on to the default handler,
// which ends the process.
#include <cstdio>
#include <mutex>

#include "platform/termination_requests.h"
#include "platform/win32/windows_api.h"

namespace platform {

namespace {

struct Deferral {
  std::mutex lock;
  bool deferring = false;
  int pending = 0;
  const char* program = "program";
};

Deferral& State() {
  static Deferral* state = new Deferral;  // never destroyed: the handler may run during exit
  return *state;
}

BOOL WINAPI OnConsoleEvent(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  Deferral& state = State();
  std::lock_guard guard(state.lock);
  if (!state.deferring) return FALSE;
  if (state.pending == 0) state.pending = static_cast<int>(event) + 1;
  std::fprintf(stderr, "%s: %s during a flash run: the run is finished first, then the program ends\n",
               state.program, event == CTRL_C_EVENT ? "Ctrl+C" : "Ctrl+Break");
  return TRUE;
}

}  // namespace

void InstallTerminationRequests(const char* program) {
  State().program = program;
  ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
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
                 request == CTRL_C_EVENT + 1 ? "Ctrl+C" : "Ctrl+Break");
  return request;
}

// The status the default handler gives a process ended by Ctrl+C.
int ExitStatusAfterRequest(int) { return static_cast<int>(0xC000013A); }

}  // namespace platform
