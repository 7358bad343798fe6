#include "platform/logind/logind_power.h"

#include <fcntl.h>
#include <unistd.h>

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QVariant>
#include <QVariantMap>
#include <vector>

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

constexpr const char* kWho = "Zorvex Firmware Flash Utility";
constexpr const char* kWhy = "Writing drive firmware";
constexpr const char* kSystemWhat = "shutdown:sleep:idle";
constexpr const char* kKeysWhat =
    "handle-power-key:handle-suspend-key:handle-hibernate-key:handle-lid-switch";

constexpr const char* kPortalService = "org.freedesktop.portal.Desktop";
constexpr const char* kPortalPath = "/org/freedesktop/portal/desktop";
constexpr const char* kPortalInhibit = "org.freedesktop.portal.Inhibit";
constexpr const char* kPortalRequest = "org.freedesktop.portal.Request";
// Logout, user switch, suspend, idle.
constexpr uint kPortalFlags = 1 | 2 | 4 | 8;

// logind releases a lock when the last copy of its descriptor is closed;
// the portal, when its request is closed (or this connection goes).
class CombinedInhibitLock final : public InhibitLock {
 public:
  CombinedInhibitLock(std::vector<int> fds, QDBusConnection session, QString portalRequest,
                      std::string missing)
      : fds_(std::move(fds)),
        session_(std::move(session)),
        portalRequest_(std::move(portalRequest)),
        missing_(std::move(missing)) {}
  ~CombinedInhibitLock() override {
    for (int fd : fds_) ::close(fd);
    if (!portalRequest_.isEmpty())
      session_.send(QDBusMessage::createMethodCall(kPortalService, portalRequest_, kPortalRequest, "Close"));
  }
  CombinedInhibitLock(const CombinedInhibitLock&) = delete;
  CombinedInhibitLock& operator=(const CombinedInhibitLock&) = delete;
  std::string Missing() const override { return missing_; }

 private:
  const std::vector<int> fds_;
  QDBusConnection session_;
  const QString portalRequest_;
  const std::string missing_;
};

// One logind "block" lock on `what`; -1 when logind refuses or is absent.
int LogindInhibit(QDBusConnection& bus, const char* what) {
  QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kManager, "Inhibit");
  call << QString::fromLatin1(what) << QString::fromLatin1(kWho) << QString::fromLatin1(kWhy)
       << QStringLiteral("block");
  const QDBusMessage reply = bus.call(call, QDBus::Block, kInhibitTimeoutMs);
  if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 1) return -1;
  const QVariant value = reply.arguments().front();
  if (value.metaType() != QMetaType::fromType<QDBusUnixFileDescriptor>()) return -1;
  const auto received = value.value<QDBusUnixFileDescriptor>();
  if (!received.isValid()) return -1;
  // The message's copy closes with the message; the lock keeps its own.
  return ::fcntl(received.fileDescriptor(), F_DUPFD_CLOEXEC, 0);
}

// The portal's request handle for an inhibition of logout; empty without a portal.
QString PortalInhibit(QDBusConnection& session) {
  if (!session.isConnected()) return {};
  QDBusMessage call = QDBusMessage::createMethodCall(kPortalService, kPortalPath, kPortalInhibit, "Inhibit");
  call << QString() << kPortalFlags << QVariantMap{{QStringLiteral("reason"), QString::fromLatin1(kWhy)}};
  const QDBusMessage reply = session.call(call, QDBus::Block, kInhibitTimeoutMs);
  if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 1) return {};
  return reply.arguments().front().value<QDBusObjectPath>().path();
}

}  // namespace

LogindPower::LogindPower() : LogindPower(QDBusConnection::systemBus(), QDBusConnection::sessionBus()) {}

LogindPower::LogindPower(QDBusConnection bus, QDBusConnection session)
    : bus_(std::move(bus)), session_(std::move(session)) {}

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
  std::vector<int> fds;
  std::string missing;
  const bool logind =
      bus_.isConnected() && (bus_.connectionCapabilities() & QDBusConnection::UnixFileDescriptorPassing);
  for (const char* what : {kSystemWhat, kKeysWhat}) {
    const int fd = logind ? LogindInhibit(bus_, what) : -1;
    if (fd >= 0)
      fds.push_back(fd);
    else
      missing += (missing.empty() ? "" : ", ") +
                 std::string(what == kSystemWhat ? "shutdown and sleep" : "the power keys and the lid");
  }
  const QString portalRequest = PortalInhibit(session_);
  if (portalRequest.isEmpty()) missing += (missing.empty() ? "" : ", ") + std::string("logout");
  if (fds.empty() && portalRequest.isEmpty()) return nullptr;
  return std::make_unique<CombinedInhibitLock>(std::move(fds), session_, portalRequest, missing);
}

}  // namespace platform
