// Ends the process at once with the given exit code.
//
// Used after a fatal error that has already been shown: pending output of
// the C and C++ streams is flushed, but no static destructor and no atexit
// handler runs, since other threads may still be using what they would tear
// down.
// Windows: the system's ExitProcess. The program's own static destructors
// and atexit handlers do not run there either, but the loaded libraries are
// told that the process detaches, after the system has ended every other
// thread.
// Threads: any.
#pragma once

#include <cstdint>

namespace platform {

[[noreturn]] void ExitProcess(uint32_t exitCode);

// ExitProcess's last step, each system's own: ends the process at once,
// flushing nothing. Not for other callers.
[[noreturn]] void EndProcessNow(uint32_t exitCode);

}  // namespace platform
