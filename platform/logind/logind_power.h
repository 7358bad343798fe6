// Power control on Linux through systemd-logind on the system D-Bus.
//
// Power-off asks logind to power the machine off with interactive
// authorisation, so polkit decides whether the operator may; the answer is
// advisory, as the caller closes the window either way. The shutdown
// privilege of a process token has no Linux counterpart. The inhibitor lock
// is logind's "block" lock on shutdown, sleep and idle, held as long as the
// returned object lives.
// Threads: window thread (each call blocks until logind answers or the call
// times out).
#pragma once

#include <QDBusConnection>
#include <memory>

#include "platform/power.h"

namespace platform {

class LogindPower final : public PowerControl {
 public:
  // logind on the system bus.
  LogindPower();
  // logind (or a stand-in) on the given bus.
  explicit LogindPower(QDBusConnection bus);

  bool AdjustShutdownPrivilege(bool enable) override;
  bool ExitWindowsEx(uint32_t flags, uint32_t reserved) override;
  std::unique_ptr<InhibitLock> InhibitShutdown() override;

 private:
  QDBusConnection bus_;
};

}  // namespace platform
