// The real product binary, end to end through its own SG_IO code, in front
// of the stand-in sg driver (tests/support/sg_standin): one case per family
// of faults. The product carries synthetic firmware packed into a copy of it
// here; the stand-in's autopilot presses Flash and closes the window.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "emulator/command_kind.h"
#include "tests/firmware/container_test_files.h"
#include "tests/support/window/x_server.h"

namespace {

using emulator::CommandKind;

constexpr int kRunMs = 90000;
// Longer than a command's usual wait (5 s), which a stop must not use up.
constexpr int kLongStopMs = 6000;
constexpr std::size_t kRunCommands = 65;  // a sound run, start-up included

// What the test itself holds of the node: its flock, or (to the stand-in's
// count of opens, as to the driver's) an open descriptor.
enum class Held { No, Locked, Open };

struct ProductCase {
  const char* name;
  const char* config;  // added to the stand-in's configuration
  const char* status;  // the message area at the end; nullptr: not looked at
  CommandKind counted;
  std::size_t count;          // commands of that kind the drive received
  const char* err = nullptr;  // a part of stderr
  int exitCode = 0;
  bool endsWithCounted = false;  // nothing reached the drive after the last such command
  int signalAfter = 0;           // SIGTERM once this many commands are logged
  Held heldByUs = Held::No;
  // Once the log has each of these many commands (the last still awaiting
  // its answer), the process is stopped with stopSignal for stopMs, then continued.
  std::vector<std::size_t> stopAt = {};
  int stopSignal = 0;
  int stopMs = 0;
  bool secondInstance = false;  // another copy starts and ends during the stop
  std::size_t total = 0;        // commands the drive received in all; 0: not looked at
  bool release = false;         // the Release product (ZX_RELEASE_PRODUCT) instead of this build's
  const char* closed = "";      // on an X server, started without these standard descriptors ("02")
  int signal = SIGTERM;         // what signalAfter sends
};
void PrintTo(const ProductCase& c, std::ostream* os) { *os << c.name; }

// A sound run, stopped (or met by a second copy) at the given points.
ProductCase Stopped(const char* name, CommandKind counted, std::size_t count, std::vector<std::size_t> at,
                    int signal = SIGSTOP, int ms = 300, bool second = false) {
  ProductCase c{name, "latency=100", "Flashing is Completed", counted, count};
  c.stopAt = std::move(at);
  c.stopSignal = signal;
  c.stopMs = ms;
  c.secondInstance = second;
  c.total = kRunCommands;
  return c;
}

std::vector<CommandKind> LoggedKinds(const std::string& path) {
  std::vector<CommandKind> kinds;
  std::ifstream log(path);
  std::string line;
  while (std::getline(log, line)) {
    std::vector<uint8_t> cdb;
    for (std::size_t i = line.find("cdb=") + 4; i + 1 < line.size() && line[i] != ' '; i += 2)
      cdb.push_back(static_cast<uint8_t>(std::stoul(line.substr(i, 2), nullptr, 16)));
    kinds.push_back(emulator::ClassifyCommand(cdb.data(), static_cast<uint8_t>(cdb.size())));
  }
  return kinds;
}

class ProductTest : public ::testing::TestWithParam<ProductCase> {};

void WaitForCommands(QProcess& run, const std::string& log, std::size_t count) {
  while (LoggedKinds(log).size() < count && run.state() == QProcess::Running) run.waitForFinished(20);
}

TEST_P(ProductTest, RunsThroughItsOwnPassThroughCode) {
  const ProductCase& c = GetParam();
  // The Release product is optimised and fortified (open() becomes
  // __open_2, read() __read_chk): what the stand-in must catch is not what
  // a Debug build calls. scripts/check-package.sh gives it.
  const char* release = std::getenv("ZX_RELEASE_PRODUCT");
  if (c.release && release == nullptr) GTEST_SKIP() << "ZX_RELEASE_PRODUCT names no bare Release product";
  container_test::ScratchDir dir;
  const QString product = QString::fromStdString(dir.File("zorvex-flash"));
  ASSERT_EQ(QProcess::execute(ZX_PACK_PATH, {"pack", "--exe", c.release ? release : ZX_PRODUCT_PATH,
                                             "--output", product, "--synthetic", "1.0B"}),
            0);
  const std::string log = dir.File("commands.log");
  const bool held = c.heldByUs != Held::No;
  const int lockFd = held ? ::open(dir.File("sg0").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600) : -1;
  ASSERT_TRUE(c.heldByUs != Held::Locked || ::flock(lockFd, LOCK_EX) == 0);
  const int openFd = held ? ::open(dir.File("sg0.open").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600) : -1;
  ASSERT_TRUE(c.heldByUs != Held::Open || ::flock(openFd, LOCK_SH) == 0);

  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  env.insert("LANG", "C");
  env.insert("LD_PRELOAD", ZX_SG_STANDIN_PATH);
  // In a sanitizer build the stand-in comes before the sanitizer's runtime.
  env.insert("ASAN_OPTIONS", env.value("ASAN_OPTIONS") + ":verify_asan_link_order=0");
  env.insert("ZX_SG_STANDIN_AUTOPILOT", "1");
  env.insert("ZX_SG_STANDIN", QString::fromStdString("dir=" + dir.File("") + ";log=" + log + ";" + c.config));
  testing_support::XServer server;
  if (*c.closed != '\0' && !server.Serve(env, kRunMs)) GTEST_SKIP() << "no Xvfb here";
  QProcess run;
  run.setProcessEnvironment(env);
  const std::string closed = c.closed;
  run.setChildProcessModifier([closed] {
    for (const char fd : closed) ::close(fd - '0');
  });
  run.start(product, {});
  ASSERT_TRUE(run.waitForStarted());
  const auto pid = static_cast<pid_t>(run.processId());
  if (c.signalAfter > 0) {
    WaitForCommands(run, log, static_cast<std::size_t>(c.signalAfter));
    ::kill(pid, c.signal);
  }
  QProcess second;
  const std::string secondLog = dir.File("second.log");
  for (const std::size_t at : c.stopAt) {
    WaitForCommands(run, log, at);
    ::kill(pid, c.stopSignal);
    if (c.secondInstance) {  // while the first, stopped, holds the drive mid-run
      env.insert("ZX_SG_STANDIN", QString::fromStdString("dir=" + dir.File("") + ";log=" + secondLog));
      second.setProcessEnvironment(env);
      second.start(product, {});
      ASSERT_TRUE(second.waitForFinished(kRunMs)) << "the second copy did not end";
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(c.stopMs));
    }
    ::kill(pid, SIGCONT);
  }
  // A stop request put off until the run's end is carried out then: continued too.
  for (int waited = 0; !run.waitForFinished(200) && waited < kRunMs; waited += 200)
    if (!c.stopAt.empty()) ::kill(pid, SIGCONT);
  ASSERT_EQ(run.state(), QProcess::NotRunning) << "the product did not end";
  if (held) ::close(lockFd), ::close(openFd);
  const std::string out = run.readAllStandardOutput().toStdString();
  const std::string err = run.readAllStandardError().toStdString();

  EXPECT_TRUE(run.exitStatus() == QProcess::NormalExit && run.exitCode() == c.exitCode) << out << err;
  EXPECT_THAT(out, ::testing::HasSubstr("shown"));
  EXPECT_THAT(out, ::testing::HasSubstr(c.status ? std::string("status ") + c.status : "")) << err;
  EXPECT_THAT(err, ::testing::HasSubstr(c.err ? c.err : ""));
  const auto kinds = LoggedKinds(log);
  EXPECT_EQ(std::count(kinds.begin(), kinds.end(), c.counted), static_cast<long>(c.count)) << out << err;
  EXPECT_TRUE(!c.endsWithCounted || (!kinds.empty() && kinds.back() == c.counted)) << "a command after it";
  EXPECT_TRUE(c.total == 0 || kinds.size() == c.total) << kinds.size() << " commands\n" << out << err;
  if (c.secondInstance) {
    // Nothing from it reached the drive, and it said who holds the drive.
    EXPECT_TRUE(LoggedKinds(secondLog).empty());
    EXPECT_THAT(second.readAllStandardError().toStdString(),
                ::testing::HasSubstr("/dev/sg0 is in use by process " + std::to_string(pid)));
    EXPECT_THAT(second.readAllStandardOutput().toStdString(), ::testing::HasSubstr("not found"));
  }
}

// Started on a desktop's display without stderr and stdin, as `2>&- <&-`
// leaves it: the display connection must not become stderr.
ProductCase WithoutStandardDescriptors(const char* name, int signal, int exitCode) {
  // After a signal the window closes as the run ends, maybe before the
  // autopilot has read the message area: the status and the log tell.
  ProductCase c{name, "latency=100", signal != 0 ? nullptr : "Flashing is Completed", CommandKind::Program, 18};
  c.exitCode = exitCode;
  c.signalAfter = signal != 0 ? 30 : 0;
  c.signal = signal;
  c.closed = "20";
  c.total = kRunCommands;
  return c;
}

// A sound run of the Release product, stopped mid-erase as the run goes on.
ProductCase ReleaseBuild() {
  ProductCase c = Stopped("ReleaseBuildStoppedMidErase", CommandKind::Erase, 11, {24});
  c.release = true;
  return c;
}

INSTANTIATE_TEST_SUITE_P(
    Faults, ProductTest,
    ::testing::Values(ProductCase{"SoundRun", "", "Flashing is Completed", CommandKind::Program, 18},
                      ReleaseBuild(),
                      WithoutStandardDescriptors("InterruptedOnXWithoutStderrAndStdin", SIGINT, 128 + SIGINT),
                      WithoutStandardDescriptors("OnXWithoutStderrAndStdin", 0, 0),
                      // Reached the drive, then a bus reset: final, never sent again.
                      ProductCase{"HostErrorOnAnErase", "host=erase:1:08", "Flashing Error",
                                  CommandKind::Erase, 1, nullptr, 0, true},
                      // Hangs (never reaching the drive) for its kernel time-out, scaled,
                      // then fails without a resend: the drive saw only the first program.
                      ProductCase{"HungProgramCommand", "hang=program:2;scale=0.1", "Flashing Error",
                                  CommandKind::Program, 1, nullptr, 0, true},
                      // A wedged device on sg0 delays the window by its two bounded INQUIRYs only.
                      ProductCase{"WedgedNodeAtStartUp", "node=1;wedged=0;scale=0.05",
                                  "Flashing is Completed", CommandKind::Program, 18},
                      ProductCase{"NodeRefusesAccess", "node=1;denied=0", "Flashing is Completed",
                                  CommandKind::Program, 18,
                                  "/dev/sg0 exists but cannot be opened: Permission denied"},
                      ProductCase{"NodeLockedByAnother", "", "Target drive is not found.",
                                  CommandKind::Inquiry, 0, "is in use by process", 0, false, 0, Held::Locked},
                      // Open in another program, which takes no lock: the run does not start.
                      ProductCase{"NodeOpenInAnother", "", "Flashing Error", CommandKind::FlashOn, 0,
                                  "/dev/sg0 is open in process", 0, false, 0, Held::Open},
                      // The whole run, then the end the signal asked for.
                      ProductCase{"TerminatedMidRun", "latency=20", nullptr, CommandKind::Program, 18,
                                  "SIGTERM during a flash run", 128 + SIGTERM, false, 12},
                      // Stopped while the drive works on a command (the 1st erase, the 1st program):
                      // the command reached the drive once, and the run goes on.
                      Stopped("StoppedMidErase", CommandKind::Erase, 11, {24}),
                      Stopped("StoppedMidProgram", CommandKind::Program, 18, {35}),
                      Stopped("CtrlZMidEraseAndProgram", CommandKind::Program, 18, {25, 36}, SIGTSTP),
                      // Stopped past the wait of the command in hand (the version read, flash mode on
                      // and off, uploads, checksum checks), at ten points: the answers still count.
                      Stopped("LongStopsPastTheWait", CommandKind::Upload, 25,
                              {3, 4, 6, 13, 22, 23, 46, 48, 52, 56}, SIGSTOP, kLongStopMs),
                      // Started while the first, stopped in its erase, holds the drive: it sends nothing.
                      Stopped("SecondInstanceMidRun", CommandKind::Erase, 11, {26}, SIGSTOP, 0, true)),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
