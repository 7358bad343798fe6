// System power-off, the shutdown privilege, and a lock that keeps the system
// from sleeping or shutting down during a flash run. Behind an interface:
// tests and the demo use a recording fake, and nothing in a test may power a
// machine off.
// Where the systems differ (details in each implementation's header): the
// shutdown privilege exists on Windows only; power-off on Linux is a request
// that the system's policy may refuse; the inhibit lock on Windows keeps the
// system from sleeping but cannot refuse a shutdown, and belongs to the
// thread that took it; on Linux the lock is asked for without waiting, and
// the system's answers come in later through the window thread's message
// loop.
// Threads: window thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace platform {

inline constexpr uint32_t EWX_SHUTDOWN = 0x1;

class InhibitLock {
 public:
  virtual ~InhibitLock() = default;  // releases the lock
  // False while the system has yet to answer part of the request; until
  // then Missing and Empty count that part as not had.
  virtual bool Settled() const { return true; }
  // What the lock could not cover (for instance "logout"), for one line on
  // stderr; empty when it covers everything asked for.
  virtual std::string Missing() const { return {}; }
  // True when it covers nothing at all.
  virtual bool Empty() const { return false; }
};

class PowerControl {
 public:
  virtual ~PowerControl() = default;
  // The NT family's token step (SeShutdownPrivilege on or off); true on success.
  virtual bool AdjustShutdownPrivilege(bool enable) = 0;
  // Asks the system to shut down; the result is advisory only.
  virtual bool ExitWindowsEx(uint32_t flags, uint32_t reserved) = 0;
  // Blocks shutdown, sleep and idle (and, where the system can, the power
  // and sleep keys, the lid and logging out) until the returned lock is
  // destroyed; nullptr when the system offers no such lock at all. Returns
  // without waiting for a system service (see InhibitLock::Settled).
  virtual std::unique_ptr<InhibitLock> InhibitShutdown() = 0;
};

}  // namespace platform
