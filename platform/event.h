// Auto-reset events reached through handle values that fit in SRB_PostProc.
//
// Handles are never handed out twice in a process run (a 64-bit counter), so
// a closed handle stays harmless: setting, resetting or waiting on it fails
// and touches no other event. A back-end that completes a request after its
// caller stopped waiting and closed the event therefore signals nothing.
//
// The table is process-wide, like the operating system's handle table it
// stands for: a separately loaded ASPI library signals the program's events
// through zx_SetEvent below, as a system library would through the system.
// Threads: every operation may be called from any thread.
#pragma once

#include <cstddef>
#include <cstdint>

using EventHandle = std::uintptr_t;
inline constexpr EventHandle NO_EVENT = 0;

enum class WaitResult { Signalled, TimedOut, Failed };

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
};

// The process's event table.
EventService& SystemEvents();

extern "C" {
// For loadable modules: signal an event of the process's table. 1 on success.
int zx_SetEvent(std::uintptr_t handle);
}
