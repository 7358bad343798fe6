// What both systems' termination requests share: whether a run is being
// protected, the first request that came meanwhile, and the stderr lines
// about it. Each system's termination_requests file supplies how a request
// is caught and what it is called (RequestName).
// Threads: any.
#pragma once

#include <string>

namespace platform {

// `program` names the program in the stderr lines; it must live for the
// whole process.
void SetDeferralProgramName(const char* program);

// During a deferral: notes `request` (the first one is kept), says on
// stderr that the run is finished first, and returns true. Outside one it
// returns false: the request is to act at once.
bool NoteDeferredRequest(int request);

// How the stderr lines call a request ("SIGTERM", "Ctrl+C"); per system.
std::string RequestName(int request);

}  // namespace platform
