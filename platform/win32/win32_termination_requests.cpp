// Windows: a console control handler. Ctrl+C and Ctrl+Break are answered
// as handled during a deferral; every other console event (close, logoff,
// shutdown) and any event outside a deferral go on to the default handler,
// which ends the process.
#include <string>

#include "platform/termination_deferral.h"
#include "platform/termination_requests.h"
#include "platform/win32/windows_api.h"

namespace platform {

namespace {

BOOL WINAPI OnConsoleEvent(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  return NoteDeferredRequest(static_cast<int>(event) + 1) ? TRUE : FALSE;
}

}  // namespace

std::string RequestName(int request) { return request == CTRL_C_EVENT + 1 ? "Ctrl+C" : "Ctrl+Break"; }

// The console asks nothing to stop.
bool IsStopRequest(int) { return false; }
void CarryOutStop(int) {}

void InstallTerminationRequests(const char* program) {
  SetDeferralProgramName(program);
  ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

// The status the default handler gives a process ended by Ctrl+C.
int ExitStatusAfterRequest(int, bool) { return static_cast<int>(0xC000013A); }

}  // namespace platform
