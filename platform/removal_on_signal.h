// Files that must not outlive a process ended by a signal: a temporary file
// that would only ever be renamed into place is removed when a signal ends
// the process before the rename.
//
// Linux: InstallRemovalOnSignal gives every signal whose default action ends
// the process (SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGXFSZ, the crash
// signals...) a handler that removes every file registered at that moment
// (unlink(), nothing else), puts the signal's default action back and
// raises it again, so the process still ends by that very signal. A signal
// the process inherited as ignored (SIGHUP under nohup) stays ignored. The
// paths live in a fixed table made before any signal can come, so the
// handler neither allocates nor takes a lock.
// Windows (platform/win32/win32_removal_on_signal.cpp): nothing is removed.
// Ctrl+C ends a console program from a thread of the system's while the
// file is still open for writing, and an open file cannot be deleted there.
// Threads: InstallRemovalOnSignal once, from main before any other thread
// starts; RemovedOnSignal from any thread.
#pragma once

#include <string>

extern "C" {
// The table's face for the modules a program loads (the virtual ASPI
// library stages its flash dump too): every executable exports these, a
// module registers through them, and so one table, the one the program's
// own ending empties, serves the whole process. The slot, or -1 when the
// path was not registered. Windows: the modules keep to their own copy.
int zx_RegisterRemovedOnSignal(const char* path);
void zx_ReleaseRemovedOnSignal(int slot);
}

namespace platform {

void InstallRemovalOnSignal();

// Removes every file registered at this moment; safe inside a signal
// handler. For a process about to end by a signal's default action that it
// took some other way (platform/termination_requests.h waits for signals
// on a thread of its own, where no handler runs).
void RemoveRegisteredFiles();

// A write to a pipe or socket nobody reads any more fails (EPIPE) instead
// of ending the process by SIGPIPE, so that a tool that did its work can
// still say, in its exit status, that its output was lost. Call after
// InstallRemovalOnSignal. Windows has no such signal: nothing to do.
void IgnoreClosedPipes();

// Registers `path` (made absolute or relative to a working folder that
// never changes) until Release or destruction. A path longer than the table
// keeps, or one more than it has room for, is simply not registered.
class RemovedOnSignal {
 public:
  explicit RemovedOnSignal(const std::string& path);
  ~RemovedOnSignal() { Release(); }
  RemovedOnSignal(const RemovedOnSignal&) = delete;
  RemovedOnSignal& operator=(const RemovedOnSignal&) = delete;

  // From now on the path is left alone (it was renamed or removed).
  void Release();

 private:
  int slot_ = -1;
};

}  // namespace platform
