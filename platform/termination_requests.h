// Requests from outside to end the process, deferred while a flash run is
// writing: on Linux SIGINT (Ctrl+C), SIGTERM (logout, the login manager),
// SIGHUP (the terminal closed) and SIGQUIT; on Windows Ctrl+C and Ctrl+Break
// in the console the program was started from.
//
// Outside a deferral a request acts as it would without this: the process
// ends at once (Linux: by the signal's own default action). During one, it
// is noted, one line on stderr says that the program finishes the run
// first, and EndDeferral hands it to the caller, which ends the program.
//
// Linux: Install blocks the four signals in the calling thread, so every
// thread started afterwards inherits the block, and one thread of its own
// waits for them (sigwait); no other thread is ever interrupted by them, so
// no device call is cut short and restarted by the kernel. SIGKILL and a
// power loss are out of any program's reach.
// Windows: a console control handler. Closing the console, logging off and
// shutting down cannot be deferred there: the system ends the process a few
// seconds after asking, whatever the handler answers.
// Threads: Install once, from main before any other thread exists; the rest
// from any thread.
#pragma once

namespace platform {

// `program` names the program in the stderr lines; it must live for the
// whole process.
void InstallTerminationRequests(const char* program);

// From now on requests are only noted.
void DeferTermination();

// Ends the deferral. Returns the signal number (Windows: the console event
// plus 1) of the first request that came during it, after a line on stderr
// saying that the program now ends for it, or 0 when none came.
int EndDeferral();

// What the process should exit with after a deferred request: 128 + the
// signal number on Linux, as a shell reports a death by that signal.
int ExitStatusAfterRequest(int request);

}  // namespace platform
