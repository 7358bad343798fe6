// What both systems' termination requests share: whether a run is being
// protected, the first request to end and the first to stop the process
// that came meanwhile, and the stderr lines about them. Each system's
// termination_requests file supplies how a request is caught, what it is
// called (RequestName) and how a stop is carried out.
// Threads: any.
#pragma once

#include <string>

namespace platform {

// `program` names the program in the stderr lines; it must live for the
// whole process.
void SetDeferralProgramName(const char* program);

// During a deferral: notes `request` (the first one of its kind, end or
// stop, is kept), says on stderr that the run is finished first, and
// returns true. Outside one it returns false: the request is to act at once.
bool NoteDeferredRequest(int request);

// The process was continued (Linux: SIGCONT, as a shell's `bg` or `fg`
// sends it): a stop that was deferred is dropped, since whoever asked for
// it has already let the process go on.
void NoteContinued();

// Per system: how the stderr lines call a request ("SIGTERM", "Ctrl+C");
// whether it asks the process to stop rather than to end; and carrying a
// stop out in the calling thread (returns once the process is continued).
std::string RequestName(int request);
bool IsStopRequest(int request);
void CarryOutStop(int request);

}  // namespace platform
