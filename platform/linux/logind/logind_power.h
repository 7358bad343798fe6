// Power control on Linux through systemd-logind on the system D-Bus.
//
// Power-off asks logind to power the machine off with interactive
// authorisation, so polkit decides whether the operator may; the answer is
// advisory, as the caller closes the window either way. The shutdown
// privilege of a process token has no Linux counterpart.
//
// The inhibitor lock, held as long as the returned object lives, is made of
// up to three parts, each asked for on its own so that a refusal of one
// does not lose the others: logind's "block" lock on shutdown, sleep and
// idle; a second one on the power, suspend and hibernate keys and the lid
// switch (logind's LidSwitchIgnoreInhibited defaults to yes, so the sleep
// lock alone does not stop a closing lid from suspending the machine); and,
// on the session bus, the desktop portal's Inhibit of logout (and user
// switching, suspend and idle), which logind cannot block. The three are
// asked for without waiting: InhibitShutdown returns at once with a lock
// whose parts are had as their answers come in, through the calling
// thread's event loop (a silent service holds up nothing; its part counts
// as missing, and after its time-out as refused). A lock released before an
// answer came gives up what that answer brings as it comes.
// Threads: window thread, which must run its event loop for the answers;
// the power-off request blocks until logind answers or the call times out.
#pragma once

#include <QDBusConnection>
#include <memory>

#include "platform/power.h"

namespace platform {

class LogindPower final : public PowerControl {
 public:
  // logind on the system bus.
  LogindPower();
  // logind (or a stand-in) on the given bus; the desktop portal on
  // `session`, if it is connected.
  explicit LogindPower(QDBusConnection bus, QDBusConnection session = QDBusConnection(QString()));

  bool AdjustShutdownPrivilege(bool enable) override;
  bool ExitWindowsEx(uint32_t flags, uint32_t reserved) override;
  std::unique_ptr<InhibitLock> InhibitShutdown() override;

 private:
  QDBusConnection bus_;
  QDBusConnection session_;
};

}  // namespace platform
