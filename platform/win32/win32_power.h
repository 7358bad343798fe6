// Power control on Windows. The shutdown privilege is switched in the
// process's token (OpenProcessToken, LookupPrivilegeValueA,
// AdjustTokenPrivileges); power-off is ExitWindowsEx. The inhibit lock is
// SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED): it keeps the
// system from sleeping while the lock lives, but unlike logind's lock on
// Linux it cannot refuse a shutdown someone asks for.
// Threads: window thread. The execution state belongs to the calling
// thread: the lock must be taken and released on the same thread, which
// must outlive it.
#pragma once

#include "platform/power.h"

namespace platform {

class Win32Power final : public PowerControl {
 public:
  // True only when the privilege was actually changed: a token that lacks
  // the privilege altogether gives false.
  bool AdjustShutdownPrivilege(bool enable) override;
  bool ExitWindowsEx(uint32_t flags, uint32_t reserved) override;
  std::unique_ptr<InhibitLock> InhibitShutdown() override;
};

}  // namespace platform
