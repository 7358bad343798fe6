// Requests from outside to end or stop the process, deferred while a flash
// run is writing. On Linux every signal whose default action ends or stops
// the process and that can be blocked: SIGINT (Ctrl+C), SIGTERM (logout,
// the login manager), SIGHUP (the terminal closed), SIGQUIT, SIGUSR1/2,
// SIGALRM, SIGVTALRM, SIGPROF, SIGXCPU, SIGXFSZ, SIGPWR, SIGSTKFLT, SIGIO,
// the real-time signals, and the stop requests SIGTSTP (Ctrl+Z), SIGTTIN and
// SIGTTOU. SIGPIPE is ignored for the whole process: a write to a reader
// that is gone (stderr into a pipeline whose `tee` died) fails with EPIPE
// and its line is lost, and nothing else happens. On Windows Ctrl+C and
// Ctrl+Break in the console the program was started from.
//
// Outside a deferral a request acts as it would without this: the process
// ends or stops at once (Linux: by the signal's own default action). During
// one, it is noted, one line on stderr says that the program finishes the
// run first, and EndDeferral carries a stop out and hands an end to the
// caller, which ends the program. Of several requests to end, the first
// that came decides the exit status; the later ones are only said. A
// deferred stop is dropped when the process is continued (SIGCONT: a
// shell's `bg` after Ctrl+Z) before the run has ended.
//
// A signal the process inherited as ignored (SIGHUP under nohup, SIGINT
// for a background job) stays ignored: Install looks at each disposition
// before taking the signal over.
//
// Linux: Install blocks the signals in the calling thread, so every thread
// started afterwards inherits the block, and one thread of its own waits
// for them (sigwait); no other thread is ever interrupted by them, so no
// device call is cut short and restarted by the kernel. SIGKILL, SIGSTOP
// and a power loss are out of any program's reach.
// Windows: a console control handler. Closing the console, logging off and
// shutting down cannot be deferred there: the system ends the process a few
// seconds after asking, whatever the handler answers.
// Threads: Install once, from main before any other thread exists; the rest
// from any thread.
#pragma once

#include <string_view>

namespace platform {

// `program` names the program in the stderr lines; it must live for the
// whole process.
void InstallTerminationRequests(const char* program);

// From now on requests are only noted.
void DeferTermination();

// Whether requests are being deferred: from DeferTermination until
// EndDeferral, which may come a moment after the run itself has ended.
bool TerminationDeferred();

// Ends the deferral. `outcome` says how the run ended, for the stderr line.
// A stop request that came during it is carried out first (on Linux the
// process stops here, and goes on when it is continued). Returns the
// signal number (Windows: the console event plus 1) of the first request to
// end the program that came during it, after a line on stderr saying that
// the program now ends for it, or 0 when none came.
int EndDeferral(std::string_view outcome);

// What the process should exit with after a deferred request, distinct for
// a run that succeeded and one that failed. Linux: 128 + the signal number
// after a success, as a shell reports a death by that signal; 64 + the
// signal number after a failure. Windows: the status of a process ended by
// Ctrl+C in either case.
int ExitStatusAfterRequest(int request, bool runSucceeded);

}  // namespace platform
