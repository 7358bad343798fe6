// The demo program itself, started as the operator would start it (with
// --auto-flash pressing the buttons): its exit status, its command log and
// its flash dump; and its refusal of bad options.
#include <gmock/gmock.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <sstream>
#include <thread>

#include "app/entry/run_without_window.h"
#include "emulator/command_kind.h"
#include "emulator/sha256.h"
#include "firmware/container_format.h"
#include "tests/firmware/container_test_files.h"
#include "tests/support/program_run.h"
#include "tests/support/window/x_server.h"

namespace {

constexpr int kRunMs = 60000;

using test_process::Outcome;

// `fileSizeLimit` (bytes; 0: none) stands for a file system that takes no
// more: a write beyond it fails as on a full disk.
Outcome RunDemo(const QStringList& args, const QString& program = ZX_DEMO_PATH, rlim_t fileSizeLimit = 0) {
  test_process::Launch launch = test_process::DemoLaunch(program.toStdString(), {});
  for (const QString& arg : args) launch.args.push_back(arg.toStdString());
  if (fileSizeLimit != 0)
    launch.inChild = [fileSizeLimit] {
      const rlimit limit{fileSizeLimit, fileSizeLimit};
      ::setrlimit(RLIMIT_FSIZE, &limit);
      ::signal(SIGXFSZ, SIG_IGN);
    };
  return test_process::Run(launch, kRunMs);
}

struct LogLine {
  int adapter;
  std::vector<uint8_t> cdb;
  std::string direction;
  uint32_t length;
  std::string sha;
};

std::vector<uint8_t> FromHex(const std::string& hex) {
  std::vector<uint8_t> bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
    bytes.push_back(std::stoi(hex.substr(i, 2), nullptr, 16));
  return bytes;
}

// Every line must have the log's exact shape.
std::vector<LogLine> ReadLog(const std::string& path) {
  static const std::regex shape(
      "ha=([0-9]+) cdb=((?:[0-9a-f]{2})+) dir=(in|out|none) len=([0-9]+) "
      "sha256=([0-9a-f]{64}|-)");
  const std::vector<uint8_t> bytes = container_test::ReadBytes(path);
  std::istringstream text(std::string(bytes.begin(), bytes.end()));
  std::vector<LogLine> lines;
  std::string line;
  while (std::getline(text, line)) {
    std::smatch m;
    EXPECT_TRUE(std::regex_match(line, m, shape)) << line;
    if (m.empty()) continue;
    lines.push_back({std::stoi(m[1]), FromHex(m[2]), m[3], static_cast<uint32_t>(std::stoul(m[4])), m[5]});
  }
  return lines;
}

bool IsUpload(const LogLine& l, uint8_t unit) { return l.cdb[0] == 0xCB && l.cdb[1] == (unit << 4 | 0x01); }
bool IsProgram(const LogLine& l) { return l.cdb[0] == 0xCB && (l.cdb[1] & 0x0F) == 0x02; }

// The uploads of one unit carry the part's bytes in order, back to back.
void ExpectUploadsCarry(const std::vector<LogLine>& lines, uint8_t unit, const std::vector<uint8_t>& part) {
  std::size_t offset = 0;
  for (const LogLine& l : lines) {
    if (!IsUpload(l, unit)) continue;
    ASSERT_EQ(l.direction, "out");
    ASSERT_LE(offset + l.length, part.size());
    EXPECT_EQ(l.sha, emulator::ToHex(emulator::Sha256Of(part.data() + offset, l.length))) << "at " << offset;
    offset += l.length;
  }
  EXPECT_EQ(offset, part.size()) << "unit " << int{unit};
}

std::vector<uint8_t> Slice(const std::vector<uint8_t>& bytes, std::size_t from, std::size_t length) {
  return {bytes.begin() + static_cast<std::ptrdiff_t>(from),
          bytes.begin() + static_cast<std::ptrdiff_t>(from + length)};
}

class DemoRunTest : public ::testing::TestWithParam<const char*> {};

TEST_P(DemoRunTest, FlashesItsDriveWithTheAppendedFirmware) {
  container_test::ScratchDir dir;
  const std::string log = dir.File("commands.log");
  const Outcome outcome = RunDemo({"--family", GetParam(), "--language", "en", "--latency-scale", "0",
                                   "--auto-flash", "--command-log", QString::fromStdString(log),
                                   "--dump-flash", QString::fromStdString(dir.File(""))});
  ASSERT_EQ(outcome.exitCode, 0) << outcome.err;
  EXPECT_THAT(outcome.out, ::testing::HasSubstr("the run succeeded"));
  EXPECT_THAT(outcome.out, ::testing::HasSubstr("power-off requested"));

  const std::vector<uint8_t> container = SyntheticContainer({'1', '0', 'B'});
  const std::vector<LogLine> lines = ReadLog(log);
  ASSERT_FALSE(lines.empty());
  for (const LogLine& l : lines) EXPECT_EQ(l.adapter, 0);
  ExpectUploadsCarry(lines, 0, Slice(container, PART1_DATA_OFFSET, 0x7B000));
  ExpectUploadsCarry(lines, 1, Slice(container, PART2_DATA_OFFSET, 0x20000));
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(), IsProgram), 18);

  const std::vector<uint8_t> unit0 = container_test::ReadBytes(dir.File("unit0.bin"));
  const std::vector<uint8_t> unit1 = container_test::ReadBytes(dir.File("unit1.bin"));
  ASSERT_EQ(unit0.size(), 0x80000u);
  ASSERT_EQ(unit1.size(), 0x20000u);
  EXPECT_EQ(Slice(unit0, 0x5000, 0x7B000), Slice(container, PART1_DATA_OFFSET, 0x7B000));
  EXPECT_EQ(unit1, Slice(container, PART2_DATA_OFFSET, 0x20000));
}

INSTANTIATE_TEST_SUITE_P(Families, DemoRunTest, ::testing::Values("nt", "9x"));

TEST(DemoFailureTest, NthProgramCommandFails) {
  container_test::ScratchDir dir;
  const std::string log = dir.File("commands.log");
  const Outcome outcome = RunDemo({"--latency-scale", "0", "--language", "en", "--fail", "program:3:05",
                                   "--auto-flash", "--command-log", QString::fromStdString(log)});
  ASSERT_EQ(outcome.exitCode, 1) << outcome.err;
  EXPECT_THAT(outcome.out, ::testing::HasSubstr("\"Flashing Error\""));
  const std::vector<LogLine> lines = ReadLog(log);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(), IsProgram), 3);
  EXPECT_TRUE(IsProgram(lines.back()));  // nothing after the failed command
}

// Runs nobody watches: every box is answered, and a command log or flash
// dump that could not be written fails the exit status with one line.
struct Unattended {
  const char* name;
  std::function<QStringList(const container_test::ScratchDir&)> args;  // after --latency-scale 0 --language en
  int exitCode;
  const char* out;  // a part of stdout
  const char* err;  // the one line on stderr; nullptr: nothing
  bool besideABrokenLibrary = false;  // the demo runs from a copy with a library lacking an entry point
  rlim_t fileSizeLimit = 0;           // a file system that takes no more (RunDemo); 0: none
};
void PrintTo(const Unattended& u, std::ostream* os) { *os << u.name; }
class DemoUnattendedTest : public ::testing::TestWithParam<Unattended> {};

TEST_P(DemoUnattendedTest, EndsWithItsStatusAndSaysWhy) {
  container_test::ScratchDir dir;
  QString program = ZX_DEMO_PATH;
  if (GetParam().besideABrokenLibrary) {
    program = QString::fromStdString(dir.File("zorvex-flash-demo"));
    std::filesystem::copy_file(ZX_DEMO_PATH, program.toStdString());
    std::filesystem::copy_file(ZX_ASPI_MODULES_DIR "/no-send-command/wnaspi32.dll", dir.File("wnaspi32.dll"));
  }
  const Outcome outcome =
      RunDemo(QStringList{"--latency-scale", "0", "--language", "en"} + GetParam().args(dir), program,
              GetParam().fileSizeLimit);
  EXPECT_EQ(outcome.exitCode, GetParam().exitCode) << outcome.out << outcome.err;
  EXPECT_THAT(outcome.out, ::testing::HasSubstr(GetParam().out));
  // Lines Qt writes about its surroundings are not the program's: the
  // offscreen platform says, once per fixed-size window, what it cannot do,
  // and without XDG_RUNTIME_DIR (sudo, cron, a bare container) Qt says which
  // folder it takes instead. The program's own lines all start with its name.
  const std::string err = std::regex_replace(
      outcome.err, std::regex("(This plugin does not support |QStandardPaths: )[^\n]*\n"), "");
  if (GetParam().err == nullptr) {
    EXPECT_EQ(err, "");
  } else {
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_THAT(err, ::testing::HasSubstr(GetParam().err));
  }
  // A dump is whole or absent: no partial or temporary file is left.
  for (const std::string& name : dir.Names()) {
    EXPECT_NE(name[0], '.') << name;
    if (GetParam().fileSizeLimit != 0) {
      EXPECT_EQ(name.rfind("unit", 0), std::string::npos) << name;
    }
  }
}

QStringList DumpIntoAFullDevice(const container_test::ScratchDir& dir) {
  std::filesystem::create_symlink("/dev/full", dir.File("unit0.bin"));
  return {"--auto-flash", "--dump-flash", QString::fromStdString(dir.File(""))};
}

// --replay from a FIFO that a writer of the test fills once: a pipe such as
// <(gunzip -c t.gz) cannot be read a second time.
QStringList ReplayFromAFifo(const container_test::ScratchDir& dir, const char* family) {
  const std::string fifo = dir.File("trace-fifo");
  std::ifstream in(std::string(ZX_TRACE_DIR) + "/success-" + family + ".jsonl", std::ios::binary);
  std::string trace((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (::mkfifo(fifo.c_str(), 0600) != 0) return {};
  // Blocks until the demo opens the FIFO; the process's end takes it if it never does.
  std::thread([fifo, trace] { std::ofstream(fifo, std::ios::binary) << trace; }).detach();
  return {"--auto-flash", "--family", family, "--replay", QString::fromStdString(fifo)};
}

INSTANTIATE_TEST_SUITE_P(
    Runs, DemoUnattendedTest,
    ::testing::Values(
        Unattended{"ReservedBoxIsAnswered",
                   [](const auto&) {
                     return QStringList{"--auto-flash", "--fail", "program:2:08"};
                   },
                   1, "pressed OK on the box \"Reserved\"", nullptr},
        Unattended{"FatalLibraryBoxIsAnswered",
                   [](const auto&) {
                     return QStringList{"--auto-flash", "--family", "9x"};
                   },
                   0, "pressed OK on the box", nullptr, true},
        Unattended{"CommandLogOnAFullDevice",
                   [](const auto&) {
                     return QStringList{"--auto-flash", "--command-log", "/dev/full"};
                   },
                   1, "the run succeeded", "cannot write the command log /dev/full"},
        Unattended{"LibraryCommandLogOnAFullDevice",
                   [](const auto&) {
                     return QStringList{"--auto-flash", "--family", "9x", "--command-log", "/dev/full"};
                   },
                   1, "the run succeeded", "cannot write the command log /dev/full"},
        Unattended{"DumpOnAFullDevice", DumpIntoAFullDevice, 1, "the run succeeded",
                   "cannot write the flash dump"},
        Unattended{"LibraryDumpOnAFullDevice",
                   [](const container_test::ScratchDir& dir) {
                     return DumpIntoAFullDevice(dir) + QStringList{"--family", "9x"};
                   },
                   1, "the run succeeded", "cannot write the flash dump"},
        // unit1.bin would fit; unit0.bin does not, so neither is kept.
        Unattended{"DumpOnAFullFileSystem",
                   [](const container_test::ScratchDir& dir) {
                     return QStringList{"--auto-flash", "--dump-flash", QString::fromStdString(dir.File(""))};
                   },
                   1, "the run succeeded", "cannot write the flash dump", false, 0x30000},
        Unattended{"LibraryDumpOnAFullFileSystem",
                   [](const container_test::ScratchDir& dir) {
                     return QStringList{"--auto-flash", "--family", "9x", "--dump-flash",
                                        QString::fromStdString(dir.File(""))};
                   },
                   1, "the run succeeded", "cannot write the flash dump", false, 0x30000},
        Unattended{"ReplayFromAFifo", [](const auto& dir) { return ReplayFromAFifo(dir, "nt"); }, 0,
                   "the run succeeded", nullptr},
        Unattended{"LibraryReplayFromAFifo", [](const auto& dir) { return ReplayFromAFifo(dir, "9x"); }, 0,
                   "the run succeeded", nullptr},
        // Refused before anything starts: the trace would empty the file to replay.
        Unattended{"ReplayOfItsOwnTraceOutput",
                   [](const container_test::ScratchDir& dir) {
                     std::filesystem::copy_file(ZX_TRACE_DIR "/success-nt.jsonl", dir.File("t.jsonl"));
                     const QString trace = QString::fromStdString(dir.File("t.jsonl"));
                     return QStringList{"--replay", trace, "--trace", trace};
                   },
                   2, "", "is where this run's trace goes too"}),
    [](const auto& info) { return std::string(info.param.name); });

// A signal in the middle of a run, at the first command of a kind: the
// whole run reaches the drive, then the demo ends (or stops) as asked, with
// the run's outcome in its status and on stderr.
struct SignalCase {
  const char* name;
  int sig;
  emulator::CommandKind at;
  int exitCode;
  const char* err = "";           // a part of stderr
  bool throughTee = false;        // stdout and stderr piped into tee, which the same signal ends first
  bool inheritedIgnored = false;  // the demo starts with the signal ignored
  const char* fail = nullptr;     // a --fail rule
  long programs = 18;             // program commands at the drive in the end
  const char* closed = "";        // standard descriptors the demo starts without ("012")
  bool continued = false;         // continued (a shell's bg) once the stop was noted
  bool onX = false;               // on an X server rather than offscreen
};
void PrintTo(const SignalCase& c, std::ostream* os) { *os << c.name; }
class DemoSignalTest : public ::testing::TestWithParam<SignalCase> {};

long Logged(const std::string& path, emulator::CommandKind kind) {
  std::ifstream log(path);
  long count = 0;
  for (std::string line; std::getline(log, line) && !log.eof();) {  // whole lines only
    const std::size_t at = line.find("cdb=") + 4;
    const std::vector<uint8_t> cdb = FromHex(line.substr(at, line.find(' ', at) - at));
    count += emulator::ClassifyCommand(cdb.data(), static_cast<uint8_t>(cdb.size())) == kind;
  }
  return count;
}

// /proc says 'T' for a process stopped by a signal.
bool Stopped(qint64 pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  const std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  const std::size_t end = text.rfind(')');
  return end != std::string::npos && end + 2 < text.size() && text[end + 2] == 'T';
}

bool WaitWhileRunning(QProcess& process, const std::function<bool()>& done) {
  QElapsedTimer clock;
  clock.start();
  while (!done() && process.state() == QProcess::Running && clock.elapsed() < kRunMs) process.waitForFinished(10);
  return done();
}

TEST_P(DemoSignalTest, TheWholeRunThenTheEndAskedFor) {
  const SignalCase& c = GetParam();
  container_test::ScratchDir dir;
  const std::string log = dir.File("commands.log");
  QStringList args{"--latency-scale", "0.2", "--language", "en", "--auto-flash"};
  args << "--command-log" << QString::fromStdString(log) << "--dump-flash"
       << QString::fromStdString(dir.File(""));
  if (c.fail) args << "--fail" << c.fail;
  QProcess demo;
  QProcess tee;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  testing_support::XServer server;
  if (c.onX && !server.Serve(env, kRunMs)) GTEST_SKIP() << "no Xvfb here";
  demo.setProcessEnvironment(env);
  // A group of its own, whose stop requests the kernel carries out; the
  // signal's disposition as the case says, whatever the test's own is.
  const int sig = c.sig;
  const bool ignored = c.inheritedIgnored;
  const std::string closed = c.closed;
  demo.setChildProcessModifier([sig, ignored, closed] {
    ::setpgid(0, 0);
    if (sig != 0) ::signal(sig, ignored ? SIG_IGN : SIG_DFL);
    for (const char fd : closed) ::close(fd - '0');
  });
  tee.setChildProcessModifier([] { ::signal(SIGINT, SIG_DFL); });
  if (c.throughTee) {
    demo.setProcessChannelMode(QProcess::MergedChannels);
    demo.setStandardOutputProcess(&tee);
    tee.setStandardOutputFile(QProcess::nullDevice());
  }
  demo.start(ZX_DEMO_PATH, args);
  if (c.throughTee) tee.start("tee", {QString::fromStdString(dir.File("tee.log"))});
  ASSERT_TRUE(demo.waitForStarted());
  ASSERT_TRUE(WaitWhileRunning(demo, [&] { return Logged(log, c.at) > 0; })) << "the run ended first";
  // As Ctrl+C reaches every process of the pipeline; tee's end first, so
  // that every line the demo writes meets a reader that is gone.
  if (c.throughTee) {
    ::kill(static_cast<pid_t>(tee.processId()), c.sig);
    ASSERT_TRUE(tee.waitForFinished(kRunMs));
  }
  if (c.sig != 0) ::kill(static_cast<pid_t>(demo.processId()), c.sig);
  std::string err;
  if (c.continued) {
    ASSERT_TRUE(WaitWhileRunning(demo, [&] {
      err += demo.readAllStandardError().toStdString();
      return err.find("during a flash run") != std::string::npos;
    }));
    ::kill(static_cast<pid_t>(demo.processId()), SIGCONT);
  } else if (c.sig == SIGTSTP) {
    // Stopped once the run is over, and on again when continued.
    ASSERT_TRUE(WaitWhileRunning(demo, [&] { return Stopped(demo.processId()); })) << "never stopped";
    EXPECT_EQ(Logged(log, emulator::CommandKind::Program), c.programs);
    ::kill(static_cast<pid_t>(demo.processId()), SIGCONT);
  }
  ASSERT_TRUE(demo.waitForFinished(kRunMs)) << "the demo did not end";
  err += demo.readAllStandardError().toStdString();
  EXPECT_EQ(demo.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(demo.exitCode(), c.exitCode) << err;
  EXPECT_THAT(err, ::testing::HasSubstr(c.err));
  EXPECT_TRUE(!c.inheritedIgnored || err.find("during a flash run") == std::string::npos) << err;
  EXPECT_EQ(Logged(log, emulator::CommandKind::Program), c.programs);
  EXPECT_EQ(Logged(log, emulator::CommandKind::FlashOff), c.programs == 18 ? 2 : 0);
  EXPECT_EQ(container_test::ReadBytes(dir.File("unit1.bin")).size(), 0x20000u);
  // Nothing but commands in the log: no line meant for stdout or stderr.
  std::ifstream lines(log);
  for (std::string line; std::getline(lines, line);) EXPECT_EQ(line.rfind("ha=", 0), 0u) << line;
}

INSTANTIATE_TEST_SUITE_P(
    Signals, DemoSignalTest,
    ::testing::Values(
        SignalCase{"PipelineInterruptedAtAnErase", SIGINT, emulator::CommandKind::Erase, 128 + SIGINT, "",
                   true},
        SignalCase{"PipelineInterruptedAtAProgram", SIGINT, emulator::CommandKind::Program, 128 + SIGINT, "",
                   true},
        SignalCase{"User1AtAProgram", SIGUSR1, emulator::CommandKind::Program, 128 + SIGUSR1,
                   "the flash run is over: \"Flashing Completed\"; ending as SIGUSR1 asked"},
        SignalCase{"AlarmAtAnErase", SIGALRM, emulator::CommandKind::Erase, 128 + SIGALRM, "SIGALRM asked"},
        SignalCase{"TerminatedBeforeAFailure", SIGTERM, emulator::CommandKind::Erase, 64 + SIGTERM,
                   "the flash run is over: \"Flashing Error\"; ending as SIGTERM asked", false, false,
                   "program:3:05", 3},
        SignalCase{"StopRequestAtAProgram", SIGTSTP, emulator::CommandKind::Program, 0,
                   "the flash run is over: \"Flashing Completed\"; stopping as SIGTSTP asked"},
        SignalCase{"HangUpInheritedIgnored", SIGHUP, emulator::CommandKind::Program, 0, "", false, true},
        SignalCase{"StopRequestThenContinuedAtAnErase", SIGTSTP, emulator::CommandKind::Erase, 0,
                   "continued during a flash run", false, false, nullptr, 18, "", true},
        SignalCase{"InterruptedOnXWithoutStderr", SIGINT, emulator::CommandKind::Program, 128 + SIGINT, "", false,
                   false, nullptr, 18, "2", false, true},
        SignalCase{"InterruptedOnXWithoutAnyStandardDescriptor", SIGINT, emulator::CommandKind::Erase,
                   128 + SIGINT, "", false, false, nullptr, 18, "210", false, true},
        SignalCase{"NoSignalWithoutAnyStandardDescriptor", 0, emulator::CommandKind::Program, 0, "", false, false,
                   nullptr, 18, "012"}),
    [](const auto& info) { return std::string(info.param.name); });

// The X server in the middle of a run, from the first erase on: stopped (as
// a hung display or a stalled remote link would hold the window), the run
// goes on without the window, which catches up once the server is
// continued; gone, the run is finished without the window and the drives'
// files are still written whole, in both families (the library family's
// drives write theirs only as the library goes).
struct DisplayFate {
  const char* name;
  const char* family;
  bool lost;  // killed, rather than stopped until the run's last command
};
void PrintTo(const DisplayFate& f, std::ostream* os) { *os << f.name; }
class DemoDisplayFateTest : public ::testing::TestWithParam<DisplayFate> {};

TEST_P(DemoDisplayFateTest, TheRunGoesOnWithoutTheDisplay) {
  const DisplayFate& fate = GetParam();
  testing_support::XServer server;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  if (!server.Serve(env, kRunMs)) GTEST_SKIP() << "no Xvfb here";
  container_test::ScratchDir dir;
  const std::string log = dir.File("commands.log");
  QProcess demo;
  demo.setProcessEnvironment(env);
  demo.start(ZX_DEMO_PATH, {"--latency-scale", "0.2", "--language", "en", "--family", fate.family, "--auto-flash",
                            "--command-log", QString::fromStdString(log), "--dump-flash",
                            QString::fromStdString(dir.File(""))});
  ASSERT_TRUE(demo.waitForStarted());
  ASSERT_TRUE(WaitWhileRunning(demo, [&] { return Logged(log, emulator::CommandKind::Erase) > 0; }))
      << demo.readAllStandardError().toStdString();
  if (fate.lost) {
    server.kill();
  } else {
    ::kill(static_cast<pid_t>(server.processId()), SIGSTOP);
    QElapsedTimer clock;
    clock.start();
    while (Logged(log, emulator::CommandKind::FlashOff) < 2 && clock.elapsed() < kRunMs) demo.waitForFinished(50);
    const long programs = Logged(log, emulator::CommandKind::Program);
    ::kill(static_cast<pid_t>(server.processId()), SIGCONT);
    EXPECT_EQ(programs, 18) << "the run waited for the stopped display";
  }
  ASSERT_TRUE(demo.waitForFinished(kRunMs));
  const std::string err = demo.readAllStandardError().toStdString();
  EXPECT_EQ(demo.exitCode(), fate.lost ? kStatusAfterLossSucceeded : 0) << err;
  EXPECT_EQ(Logged(log, emulator::CommandKind::Program), 18);
  if (!fate.lost) EXPECT_THAT(demo.readAllStandardOutput().toStdString(), ::testing::HasSubstr("the run succeeded"));
  EXPECT_EQ(container_test::ReadBytes(dir.File("unit0.bin")).size(), 0x80000u) << err;
  EXPECT_EQ(container_test::ReadBytes(dir.File("unit1.bin")).size(), 0x20000u) << err;
  for (const std::string& name : dir.Names()) EXPECT_NE(name[0], '.') << name;
}

INSTANTIATE_TEST_SUITE_P(Fates, DemoDisplayFateTest,
                         ::testing::Values(DisplayFate{"StoppedUntilTheLastCommand", "nt", false},
                                           DisplayFate{"Lost", "nt", true},
                                           DisplayFate{"LostUnderTheLibrary", "9x", true}),
                         [](const auto& info) { return std::string(info.param.name); });

class DemoBadOptionTest : public ::testing::TestWithParam<std::vector<const char*>> {};

TEST_P(DemoBadOptionTest, OneLineOnStderrAndStatusTwo) {
  QStringList args;
  for (const char* a : GetParam()) args << a;
  const Outcome outcome = RunDemo(args);
  EXPECT_EQ(outcome.exitCode, 2);
  EXPECT_EQ(outcome.out, "");
  ASSERT_FALSE(outcome.err.empty());
  EXPECT_EQ(std::count(outcome.err.begin(), outcome.err.end(), '\n'), 1) << outcome.err;
  EXPECT_EQ(outcome.err.back(), '\n');
}

INSTANTIATE_TEST_SUITE_P(Options, DemoBadOptionTest,
                         ::testing::Values(std::vector<const char*>{"--drives", "11"},
                                           std::vector<const char*>{"--family", "xp"},
                                           std::vector<const char*>{"--bogus"},
                                           std::vector<const char*>{"--fail", "zap:1:2"},
                                           std::vector<const char*>{"--dump-flash", "/nonexistent/zx"}));

TEST(DemoHelpTest, HelpListsEveryOption) {
  const Outcome outcome = RunDemo({"--help"});
  EXPECT_EQ(outcome.exitCode, 0);
  for (const char* option : {"--drives", "--revision", "--family", "--language", "--latency-scale", "--fail",
                             "--command-log", "--dump-flash", "--auto-flash", "--version", "Exit status"})
    EXPECT_THAT(outcome.out, ::testing::HasSubstr(option));
  EXPECT_EQ(RunDemo({"--version"}).out, "zorvex-flash-demo " ZX_VERSION "\n");
}

}  // namespace
