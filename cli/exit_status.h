// The command line's exit statuses, one family of codes of its own. After a
// request to end the program that came during a run (Ctrl+C, SIGTERM...),
// the status is the window program's: platform::ExitStatusAfterRequest.
// Threads: any (constants).
#pragma once

inline constexpr int CLI_EXIT_DONE = 0;           // listed, or flashed
inline constexpr int CLI_EXIT_FAILED = 1;         // the run failed, or the program could not start it
inline constexpr int CLI_EXIT_USAGE = 2;          // a malformed command line
inline constexpr int CLI_EXIT_NOTHING_TO_DO = 3;  // no drive, already current, refused, or declined
