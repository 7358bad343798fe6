#include "platform/linux/logind/logind_power.h"

#include <fcntl.h>
#include <unistd.h>

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusUnixFileDescriptor>
#include <QVariant>
#include <QVariantMap>
#include <algorithm>
#include <array>
#include <memory>
#include <vector>

namespace platform {

namespace {

constexpr const char* kService = "org.freedesktop.login1";
constexpr const char* kPath = "/org/freedesktop/login1";
constexpr const char* kManager = "org.freedesktop.login1.Manager";

// Inhibit answers at once; a service that does not answer within this time
// is treated as absent, and the run goes on without its part of the lock.
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

// One logind "block" lock from its reply: a descriptor of our own, or -1
// when logind refused or is absent.
int LogindLockFrom(const QDBusMessage& reply) {
  if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 1) return -1;
  const QVariant value = reply.arguments().front();
  if (value.metaType() != QMetaType::fromType<QDBusUnixFileDescriptor>()) return -1;
  const auto received = value.value<QDBusUnixFileDescriptor>();
  if (!received.isValid()) return -1;
  // The message's copy closes with the message; the lock keeps its own.
  return ::fcntl(received.fileDescriptor(), F_DUPFD_CLOEXEC, 0);
}

// The portal's request handle from its reply; empty when it refused.
QString PortalRequestFrom(const QDBusMessage& reply) {
  if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 1) return {};
  return reply.arguments().front().value<QDBusObjectPath>().path();
}

void ClosePortalRequest(QDBusConnection& session, const QString& request) {
  session.send(QDBusMessage::createMethodCall(kPortalService, request, kPortalRequest, "Close"));
}

// logind releases a lock when the last copy of its descriptor is closed (a
// reply that comes after the lock is gone closes its copy with itself); the
// portal, when its request is closed (or this connection goes).
class PendingInhibitLock final : public InhibitLock {
 public:
  enum PartIndex { kSystem, kKeys, kLogout };

  explicit PendingInhibitLock(QDBusConnection session) : session_(std::move(session)) {}
  ~PendingInhibitLock() override {
    for (int fd : fds_) ::close(fd);
    if (!portalRequest_.isEmpty()) ClosePortalRequest(session_, portalRequest_);
    Part& logout = parts_[kLogout];
    if (logout.watcher && !logout.answered) CloseLatePortalRequest(logout.watcher.release());
  }
  PendingInhibitLock(const PendingInhibitLock&) = delete;
  PendingInhibitLock& operator=(const PendingInhibitLock&) = delete;

  // Sends the request for one part; an unreachable service is a refusal.
  void Ask(PartIndex index, QDBusConnection& bus, const QDBusMessage& call) {
    Part& part = parts_[index];
    if (!bus.isConnected()) {
      part.answered = true;
      return;
    }
    part.watcher = std::make_unique<QDBusPendingCallWatcher>(bus.asyncCall(call, kInhibitTimeoutMs));
    QObject::connect(part.watcher.get(), &QDBusPendingCallWatcher::finished, part.watcher.get(),
                     [this, index](QDBusPendingCallWatcher* watcher) { Answered(index, watcher->reply()); });
  }

  bool Settled() const override {
    return std::all_of(parts_.begin(), parts_.end(), [](const Part& part) { return part.answered; });
  }
  std::string Missing() const override {
    std::string missing;
    for (const Part& part : parts_)
      if (!part.held) missing += (missing.empty() ? "" : ", ") + std::string(part.name);
    return missing;
  }
  bool Empty() const override {
    return std::none_of(parts_.begin(), parts_.end(), [](const Part& part) { return part.held; });
  }

 private:
  struct Part {
    const char* name;
    bool answered = false;
    bool held = false;
    std::unique_ptr<QDBusPendingCallWatcher> watcher;
  };

  void Answered(PartIndex index, const QDBusMessage& reply) {
    Part& part = parts_[index];
    part.answered = true;
    if (index == kLogout) {
      portalRequest_ = PortalRequestFrom(reply);
      part.held = !portalRequest_.isEmpty();
    } else if (const int fd = LogindLockFrom(reply); fd >= 0) {
      fds_.push_back(fd);
      part.held = true;
    }
  }

  // The portal inhibits from its answer on, until the request is closed: one
  // that answers after the lock is gone has its request closed then.
  void CloseLatePortalRequest(QDBusPendingCallWatcher* watcher) {
    QObject::disconnect(watcher, nullptr, nullptr, nullptr);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [session = session_](QDBusPendingCallWatcher* late) mutable {
                       if (const QString request = PortalRequestFrom(late->reply()); !request.isEmpty())
                         ClosePortalRequest(session, request);
                       late->deleteLater();
                     });
  }

  QDBusConnection session_;
  std::array<Part, 3> parts_{{{"shutdown and sleep", false, false, {}},
                              {"the power keys and the lid", false, false, {}},
                              {"logout", false, false, {}}}};
  std::vector<int> fds_;
  QString portalRequest_;
};

QDBusMessage LogindInhibitCall(const char* what) {
  QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kManager, "Inhibit");
  call << QString::fromLatin1(what) << QString::fromLatin1(kWho) << QString::fromLatin1(kWhy)
       << QStringLiteral("block");
  return call;
}

QDBusMessage PortalInhibitCall() {
  QDBusMessage call = QDBusMessage::createMethodCall(kPortalService, kPortalPath, kPortalInhibit, "Inhibit");
  call << QString() << kPortalFlags << QVariantMap{{QStringLiteral("reason"), QString::fromLatin1(kWhy)}};
  return call;
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
  const bool logind =
      bus_.isConnected() && (bus_.connectionCapabilities() & QDBusConnection::UnixFileDescriptorPassing);
  if (!logind && !session_.isConnected()) return nullptr;
  auto lock = std::make_unique<PendingInhibitLock>(session_);
  QDBusConnection none{QString()};
  lock->Ask(PendingInhibitLock::kSystem, logind ? bus_ : none, LogindInhibitCall(kSystemWhat));
  lock->Ask(PendingInhibitLock::kKeys, logind ? bus_ : none, LogindInhibitCall(kKeysWhat));
  lock->Ask(PendingInhibitLock::kLogout, session_, PortalInhibitCall());
  return lock;
}

}  // namespace platform
