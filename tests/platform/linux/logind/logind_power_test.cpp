// LogindPower against a stand-in logind on a private message bus. Nothing
// here asks for a power-off: the stand-in only records what reaches it.
#include "platform/linux/logind/logind_power.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDBusUnixFileDescriptor>
#include <QEventLoop>
#include <QObject>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/window/event_wait.h"

namespace {

using testing_support::ProcessEventsUntil;

// Records every call; Inhibit hands out the write end of a pipe, as logind
// hands out a pipe end whose closing releases the lock.
class FakeLogind : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")

 public:
  ~FakeLogind() override {
    if (readEnd_ >= 0) ::close(readEnd_);
  }
  // Plain strings: Qt's shared containers would hand data across threads
  // behind the thread sanitizer's back.
  std::vector<std::string> Calls() const {
    std::lock_guard guard(lock_);
    return calls_;
  }
  int ReadEnd() const {
    std::lock_guard guard(lock_);
    return readEnd_;
  }
  // While set, a silent logind: Inhibit answers once it is cleared.
  std::atomic<bool> held{false};

 public slots:
  QDBusUnixFileDescriptor Inhibit(const QString& what, const QString& who, const QString& why,
                                  const QString& mode) {
    while (held.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) return {};
    QDBusUnixFileDescriptor handed;
    handed.giveFileDescriptor(ends[1]);  // Qt closes it once the reply is sent
    std::lock_guard guard(lock_);
    calls_.push_back(QStringList{"Inhibit", what, who, why, mode}.join('|').toStdString());
    if (readEnd_ >= 0) ::close(readEnd_);
    readEnd_ = ends[0];
    return handed;
  }
  void PowerOff(bool interactive) {
    std::lock_guard guard(lock_);
    calls_.push_back(interactive ? "PowerOff|true" : "PowerOff|false");
  }

 private:
  mutable std::mutex lock_;
  std::vector<std::string> calls_;
  int readEnd_ = -1;
};

// True once every copy of the pipe's write end is closed.
bool WriterGone(int readEnd, int waitMs) {
  pollfd p{readEnd, POLLIN, 0};
  return ::poll(&p, 1, waitMs) == 1 && (p.revents & POLLHUP);
}

class LogindPowerTest : public ::testing::Test {
 protected:
  // One bus for the suite, started before Qt starts any thread of its own:
  // forking a process that already runs threads is best avoided.
  static void SetUpTestSuite() {
#if defined(__SANITIZE_THREAD__)
    return;
#endif
    if (QStandardPaths::findExecutable("dbus-daemon").isEmpty()) return;
    daemon_ = new QProcess;
    daemon_->start("dbus-daemon", {"--session", "--nofork", "--nopidfile", "--print-address=1"});
    if (daemon_->waitForStarted(5000))
      while (!daemon_->canReadLine() && daemon_->waitForReadyRead(5000)) {
      }
    address_ = QString::fromUtf8(daemon_->readLine()).trimmed();
    // Qt's own event dispatcher rather than GLib's: GLib is not instrumented
    // for the thread sanitizer, and nothing here needs it.
    setenv("QT_NO_GLIB", "1", 1);
    if (QCoreApplication::instance() == nullptr) app_ = new QCoreApplication(argc_, argv_);
  }

  static void TearDownTestSuite() {
    if (daemon_ == nullptr) return;
    daemon_->terminate();
    daemon_->waitForFinished(5000);
    delete daemon_;
    daemon_ = nullptr;
  }

  void SetUp() override {
#if defined(__SANITIZE_THREAD__)
    // Qt D-Bus hands objects and messages between its threads with futex-based
    // locks that the thread sanitizer cannot see, which it reports as races in
    // Qt's and this stand-in's code. LogindPower itself starts no thread; the
    // plain and address-sanitizer runs cover it.
    GTEST_SKIP() << "Qt D-Bus is opaque to the thread sanitizer";
#endif
    if (daemon_ == nullptr) GTEST_SKIP() << "dbus-daemon not installed";
    ASSERT_FALSE(address_.isEmpty()) << "the private bus did not start";
  }

  void TearDown() override {
    if (service_.joinable()) {
      if (fake_ != nullptr) fake_->held = false;
      stopService_ = true;
      service_.join();
    }
    if (daemon_ != nullptr) QDBusConnection::disconnectFromBus("zx-client");
  }

  // Puts the stand-in logind on the bus, served by an event loop on a thread
  // of its own (the calls under test block the test's thread). The stand-in
  // lives and dies on that thread, which the test joins.
  void StartFakeLogind() {
    std::promise<bool> registered;
    service_ = std::thread([this, &registered] {
      FakeLogind fake;
      QEventLoop loop;
      QDBusConnection bus = QDBusConnection::connectToBus(address_, "zx-fake-logind");
      const bool ok = bus.isConnected() &&
                      bus.registerObject("/org/freedesktop/login1", &fake, QDBusConnection::ExportAllSlots) &&
                      bus.registerService("org.freedesktop.login1");
      // The stop request is polled rather than posted, so that the hand-over
      // stays visible to the thread sanitizer.
      QTimer poll;
      QObject::connect(&poll, &QTimer::timeout, [&] {
        if (stopService_) loop.quit();
      });
      poll.start(10);
      fake_ = &fake;
      registered.set_value(ok);
      loop.exec();
      fake_ = nullptr;
      bus.unregisterService("org.freedesktop.login1");
      QDBusConnection::disconnectFromBus("zx-fake-logind");
    });
    ASSERT_TRUE(registered.get_future().get()) << "the stand-in logind could not register";
  }

  QDBusConnection Client() { return QDBusConnection::connectToBus(address_, "zx-client"); }

  FakeLogind* fake_ = nullptr;  // valid from StartFakeLogind until TearDown

 private:
  static inline int argc_ = 1;
  static inline char arg0_[] = "tests_platform";
  static inline char* argv_[] = {arg0_, nullptr};
  static inline QCoreApplication* app_ = nullptr;
  static inline QProcess* daemon_ = nullptr;
  static inline QString address_;
  std::thread service_;
  std::atomic<bool> stopService_{false};
};

// Waits for every answer; true when the lock covers nothing.
bool HoldsNothing(const std::unique_ptr<platform::InhibitLock>& lock) {
  return lock == nullptr || (ProcessEventsUntil([&] { return lock->Settled(); }, 30000) && lock->Empty());
}

TEST_F(LogindPowerTest, InhibitTakesABlockLockOnShutdownSleepAndIdleAndHoldsItUntilReleased) {
  StartFakeLogind();
  platform::LogindPower power(Client());
  auto lock = power.InhibitShutdown();
  ASSERT_NE(lock, nullptr);
  ASSERT_TRUE(ProcessEventsUntil([&] { return lock->Settled(); }, 30000));
  // The keys and the lid in a request of their own, so that a refusal of one
  // does not lose the other; no portal on this bus, so logout is missing.
  EXPECT_EQ(fake_->Calls(), (std::vector<std::string>{
                                "Inhibit|shutdown:sleep:idle|Zorvex Firmware Flash Utility|"
                                "Writing drive firmware|block",
                                "Inhibit|handle-power-key:handle-suspend-key:handle-hibernate-key:"
                                "handle-lid-switch|Zorvex Firmware Flash Utility|Writing drive firmware|"
                                "block"}));
  EXPECT_EQ(lock->Missing(), "logout");
  const int readEnd = fake_->ReadEnd();
  ASSERT_GE(readEnd, 0);
  // Copies on the way through the bus may linger a moment; the lock's must not.
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(WriterGone(readEnd, 0)) << "the lock was released while still held";
  lock.reset();
  EXPECT_TRUE(WriterGone(readEnd, 5000)) << "releasing the lock left the descriptor open";
}

TEST_F(LogindPowerTest, ShutdownPrivilegeStepAsksLogindNothing) {
  StartFakeLogind();
  platform::LogindPower power(Client());
  EXPECT_TRUE(power.AdjustShutdownPrivilege(true));
  EXPECT_TRUE(power.AdjustShutdownPrivilege(false));
  // A call that does reach the stand-in proves the bus works, and that
  // nothing else came before it.
  auto lock = power.InhibitShutdown();
  ASSERT_NE(lock, nullptr);
  ASSERT_TRUE(ProcessEventsUntil([&] { return lock->Settled(); }, 30000));
  const auto calls = fake_->Calls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls.front().rfind("Inhibit|", 0), 0u);
}

// The window thread asks and goes on: a logind that has not answered yet
// holds nothing up, and its lock is had once it answers.
TEST_F(LogindPowerTest, InhibitReturnsBeforeASilentLogindAnswersAndHasTheLockOnceItDoes) {
  StartFakeLogind();
  fake_->held = true;
  platform::LogindPower power(Client());
  auto lock = power.InhibitShutdown();
  ASSERT_NE(lock, nullptr);
  EXPECT_FALSE(lock->Settled());
  EXPECT_EQ(lock->Missing(), "shutdown and sleep, the power keys and the lid, logout");
  fake_->held = false;
  ASSERT_TRUE(ProcessEventsUntil([&] { return lock->Settled(); }, 30000));
  EXPECT_EQ(lock->Missing(), "logout");
  EXPECT_EQ(fake_->Calls().size(), 2u);
}

TEST_F(LogindPowerTest, NoLockWhereLogindIsAbsentFromTheBus) {
  platform::LogindPower power(Client());
  EXPECT_TRUE(HoldsNothing(power.InhibitShutdown()));
}

TEST_F(LogindPowerTest, NoLockWithoutAnyBus) {
  platform::LogindPower unconnected(QDBusConnection("zx-never-connected"));
  EXPECT_EQ(unconnected.InhibitShutdown(), nullptr);
  // The system bus, pointed at nothing, behaves the same. (Qt keeps the
  // system bus it made for the rest of the process; nothing else here uses it.)
  const char* previous = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");
  const std::string saved = previous == nullptr ? "" : previous;
  setenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/zx-no-bus", 1);
  platform::LogindPower system;
  EXPECT_TRUE(HoldsNothing(system.InhibitShutdown()));
  if (previous == nullptr)
    unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
  else
    setenv("DBUS_SYSTEM_BUS_ADDRESS", saved.c_str(), 1);
}

}  // namespace

#include "logind_power_test.moc"
