#include "platform/logind/logind_power.h"

#include <fcntl.h>
#include <unistd.h>

#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <QVariant>

namespace platform {

namespace {

constexpr const char* kService = "org.freedesktop.login1";
constexpr const char* kPath = "/org/freedesktop/login1";
constexpr const char* kManager = "org.freedesktop.login1.Manager";

// Inhibit answers at once; a logind that does not answer within this time is
// treated as absent, and the run goes on without the lock.
constexpr int kInhibitTimeoutMs = 5000;
// Interactive authorisation may wait for the operator to answer polkit's
// prompt; our call has to stay alive meanwhile, since polkit checks that the
// asking process is still there.
constexpr int kPowerOffTimeoutMs = 120000;

// logind releases the lock when the last copy of this descriptor is closed.
class LogindInhibitLock final : public InhibitLock {
 public:
  explicit LogindInhibitLock(int fd) : fd_(fd) {}
  ~LogindInhibitLock() override { ::close(fd_); }
  LogindInhibitLock(const LogindInhibitLock&) = delete;
  LogindInhibitLock& operator=(const LogindInhibitLock&) = delete;

 private:
  int fd_;
};

}  // namespace

LogindPower::LogindPower() : LogindPower(QDBusConnection::systemBus()) {}

LogindPower::LogindPower(QDBusConnection bus) : bus_(std::move(bus)) {}

bool LogindPower::AdjustShutdownPrivilege(bool) {
  // A process token with a shutdown privilege to switch on and off does not
  // exist on Linux: whether this process may power the machine off is
  // polkit's decision at the time of the request. Nothing to do, and nothing
  // that could fail.
  return true;
}

bool LogindPower::ExitWindowsEx(uint32_t flags, uint32_t) {
  // Only the shutdown request has a logind counterpart.
  if ((flags & EWX_SHUTDOWN) == 0 || !bus_.isConnected()) return false;
  QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kManager, "PowerOff");
  call << true;  // interactive: polkit may ask the operator
  const QDBusMessage reply = bus_.call(call, QDBus::Block, kPowerOffTimeoutMs);
  return reply.type() == QDBusMessage::ReplyMessage;
}

std::unique_ptr<InhibitLock> LogindPower::InhibitShutdown() {
  if (!bus_.isConnected()) return nullptr;
  if (!(bus_.connectionCapabilities() & QDBusConnection::UnixFileDescriptorPassing)) return nullptr;
  QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kManager, "Inhibit");
  call << QStringLiteral("shutdown:sleep:idle") << QStringLiteral("Zorvex Firmware Flash Utility")
       << QStringLiteral("Writing drive firmware") << QStringLiteral("block");
  const QDBusMessage reply = bus_.call(call, QDBus::Block, kInhibitTimeoutMs);
  if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 1) return nullptr;
  const QVariant value = reply.arguments().front();
  if (value.metaType() != QMetaType::fromType<QDBusUnixFileDescriptor>()) return nullptr;
  const auto received = value.value<QDBusUnixFileDescriptor>();
  if (!received.isValid()) return nullptr;
  // The message's copy closes with the message; the lock keeps its own.
  const int fd = ::fcntl(received.fileDescriptor(), F_DUPFD_CLOEXEC, 0);
  if (fd < 0) return nullptr;
  return std::make_unique<LogindInhibitLock>(fd);
}

}  // namespace platform
