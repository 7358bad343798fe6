// Auto-reset events reached through handle values that fit in SRB_PostProc.
//
// Handles are never handed out twice in a process run (a 64-bit counter;
// Windows: but see below for spent events), so
// a closed handle stays harmless: setting, resetting or waiting on it fails
// and touches no other event. A back-end that completes a request after its
// caller stopped waiting and closed the event therefore signals nothing.
//
// The table is process-wide, like the operating system's handle table it
// stands for: a separately loaded ASPI library signals the program's events
// through zx_SetEvent below, as a system library would through the system.
//
// Windows: the handles are the system's own event handles, so that an ASPI
// library (a real wnaspi32.dll) can signal them itself with kernel32's
// SetEvent, which is what zx_SetEvent below calls there. The system reuses
// the values of closed handles, so a closed event keeps its system object,
// retired and never signalled through the table again, until the process
// ends: its value cannot be handed out twice, and a library's late SetEvent
// on it reaches nobody (it succeeds, where Linux's zx_SetEvent fails). An
// event whose one completion was taken by a wait is spent: nothing can
// signal it any more, so it is kept and handed out again, its value with
// it (a few of them, however long their command took); only events closed
// otherwise (no wait took a signal) hold their system handle for the rest
// of the run.
// Threads: every operation may be called from any thread.
#pragma once

#include <cstddef>
#include <cstdint>

using EventHandle = std::uintptr_t;
inline constexpr EventHandle NO_EVENT = 0;

enum class WaitResult { Signalled, TimedOut, Failed };

// A wait of this many milliseconds never times out (Windows' INFINITE).
inline constexpr uint32_t WAIT_INFINITE = 0xFFFFFFFF;

class EventService {
 public:
  virtual ~EventService() = default;
  // Unnamed, auto-reset, initially unsignalled; NO_EVENT when none can be made.
  virtual EventHandle CreateEvent() = 0;
  virtual bool SetEvent(EventHandle h) = 0;
  virtual bool ResetEvent(EventHandle h) = 0;
  virtual WaitResult WaitForSingleObject(EventHandle h, uint32_t ms) = 0;
  virtual bool CloseHandle(EventHandle h) = 0;
  // Events created and not yet closed: for leak checks.
  virtual std::size_t OpenCount() const = 0;
  // System objects the table holds for events, open or closed (Windows
  // keeps closed ones; see above): for checks that it stays bounded.
  virtual std::size_t HeldCount() const { return OpenCount(); }
};

// The process's event table.
EventService& SystemEvents();

// What a loadable module calls to signal a caller's event; 1 on success.
using ModuleSetEventFn = int (*)(std::uintptr_t handle);

extern "C" {
// For loadable modules: signal the caller's event; 1 on success. Linux: an
// event of the process's table, which every executable exports to the
// modules it loads. Windows: kernel32's SetEvent on the handle, compiled
// into each module, since a library resolves nothing from the program.
int zx_SetEvent(std::uintptr_t handle);
}

inline constexpr ModuleSetEventFn MODULE_SET_EVENT = &zx_SetEvent;
