// The command-line demo started as an operator or a script would start it,
// against the window demo in front of the same virtual drives: the same
// commands reach the drives, failures and signals end it as they end the
// window, and --json gives objects a reader can parse.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <signal.h>
#include <unistd.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <algorithm>
#include <cctype>
#include <fstream>
#include <regex>

#include "emulator/command_kind.h"
#include "tests/firmware/container_test_files.h"
#include "tests/support/program_run.h"
#include "tests/support/pty_program.h"

namespace {

constexpr int kRunMs = 60000;

using test_process::Outcome;

std::vector<std::string> Strings(const QStringList& list) {
  std::vector<std::string> strings;
  for (const QString& s : list) strings.push_back(s.toStdString());
  return strings;
}

std::size_t Lines(const std::string& path) {
  std::ifstream in(path);
  std::size_t n = 0;
  for (std::string line; std::getline(in, line);) ++n;
  return n;
}

// `signalAfter`: SIGINT once the log has that many lines (0: none).
Outcome Start(const QString& program, const QStringList& args, const std::string& log = {},
              std::size_t signalAfter = 0) {
  bool signalled = false;
  return test_process::Run(test_process::DemoLaunch(program.toStdString(), Strings(args)), kRunMs,
                           [&](int pid) {
                             if (signalAfter == 0 || signalled || Lines(log) < signalAfter) return;
                             ::kill(pid, SIGINT);
                             signalled = true;
                           });
}

std::string Read(const std::string& path) {
  const std::vector<uint8_t> bytes = container_test::ReadBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

struct Twin {
  Outcome window;
  Outcome cli;
  std::string windowLog;
  std::string cliLog;
};

// The window demo (pressing its buttons itself) and `flash --yes`, over the same drive options.
Twin RunBoth(const QStringList& drives) {
  container_test::ScratchDir dir;
  Twin twin;
  const QStringList common = QStringList{"--latency-scale", "0", "--language", "en"} + drives;
  twin.window = Start(ZX_DEMO_PATH, common + QStringList{"--auto-flash", "--command-log",
                                                         QString::fromStdString(dir.File("window.log"))});
  twin.cli = Start(
      ZX_CLI_DEMO_PATH,
      QStringList{"flash", "--yes", "--command-log", QString::fromStdString(dir.File("cli.log"))} + common);
  twin.windowLog = Read(dir.File("window.log"));
  twin.cliLog = Read(dir.File("cli.log"));
  return twin;
}

// The shares of the run that `shape` (its percent the first group) finds, in order.
std::vector<int> Percents(const std::string& text, const std::regex& shape) {
  std::vector<int> found;
  for (auto m = std::sregex_iterator(text.begin(), text.end(), shape); m != std::sregex_iterator(); ++m)
    found.push_back(std::stoi((*m)[1]));
  return found;
}

// A bar redrawn in place: a carriage return not ending a line, then the bar.
const std::regex kBar("\r\\[[#.]{30}\\] (?:stage [12]/2  [^\r\n]*  )?([0-9]+)%");

// Without a terminal: whole lines at each tenth, no carriage return.
void ExpectPlainProgress(const std::string& out) {
  EXPECT_EQ(out.find('\r'), std::string::npos);
  const std::vector<int> tenths = Percents(out, std::regex("progress: stage [12]/2  [^\n]*  ([0-9]+)%\n"));
  EXPECT_GE(tenths.size(), 9u) << out;
  EXPECT_TRUE(std::is_sorted(tenths.begin(), tenths.end())) << out;
}

class CliWholeRunTest : public ::testing::TestWithParam<const char*> {};

TEST_P(CliWholeRunTest, SendsTheWindowDemosCommands) {
  const Twin twin = RunBoth({"--family", GetParam()});
  ASSERT_EQ(twin.window.exitCode, 0) << twin.window.err;
  ASSERT_EQ(twin.cli.exitCode, 0) << twin.cli.err;
  EXPECT_THAT(twin.cli.out, ::testing::HasSubstr("succeeded: drive 1 now carries 1.0B"));
  ExpectPlainProgress(twin.cli.out);
  ASSERT_FALSE(twin.cliLog.empty());
  EXPECT_EQ(twin.cliLog, twin.windowLog);
}

INSTANTIATE_TEST_SUITE_P(Families, CliWholeRunTest, ::testing::Values("nt", "9x"));

class CliFailureTest : public ::testing::TestWithParam<const char*> {};

// The failed command is the last either program sends.
TEST_P(CliFailureTest, FailsWithTheWindowsCommands) {
  const Twin twin = RunBoth({"--fail", GetParam()});
  EXPECT_EQ(twin.window.exitCode, 1) << twin.window.err;
  EXPECT_EQ(twin.cli.exitCode, 1) << twin.cli.err;
  EXPECT_THAT(twin.cli.out, ::testing::HasSubstr("failed: "));
  ASSERT_FALSE(twin.cliLog.empty());
  EXPECT_EQ(twin.cliLog, twin.windowLog);
}

INSTANTIATE_TEST_SUITE_P(EachKind, CliFailureTest,
                         ::testing::Values("flash-on:1:05", "flash-off:2:05", "upload:4:05", "verify:2:05",
                                           "erase:5:05", "erase-unit:1:05", "program:9:05"));

TEST(CliJsonTest, ListAndFlashGiveTheDocumentedObjects) {
  const Outcome list = Start(ZX_CLI_DEMO_PATH, {"list", "--json", "--drives", "2", "--revision", "1.0B"});
  ASSERT_EQ(list.exitCode, 0) << list.err;
  const QJsonObject listed = QJsonDocument::fromJson(QByteArray::fromStdString(list.out)).object();
  EXPECT_EQ(listed["carried"].toObject()["version"].toString(), "1.0B");
  const QJsonArray drives = listed["drives"].toArray();
  ASSERT_EQ(drives.size(), 2);
  EXPECT_EQ(drives[1].toObject()["device"].toString(), "E:");
  EXPECT_EQ(drives[1].toObject()["verdict"].toString(), "same");
  EXPECT_EQ(drives[1].toObject()["status"].toInt(), 32);

  const Outcome same = Start(ZX_CLI_DEMO_PATH, {"flash", "--yes", "--json", "--revision", "1.0B"});
  EXPECT_EQ(same.exitCode, 3);
  EXPECT_EQ(QJsonDocument::fromJson(QByteArray::fromStdString(same.out)).object()["outcome"],
            "nothing-to-flash");

  const Outcome flash =
      Start(ZX_CLI_DEMO_PATH, {"flash", "--yes", "--json", "--latency-scale", "0", "--fail", "program:3:05"});
  EXPECT_EQ(flash.exitCode, 1);
  const QJsonObject run = QJsonDocument::fromJson(QByteArray::fromStdString(flash.out)).object();
  EXPECT_EQ(run["outcome"].toString(), "failed");
  EXPECT_EQ(run["message"].toString(), "Flashing Error");
  EXPECT_EQ(run["from"].toString(), "1.0A");
  EXPECT_EQ(run["exitStatus"].toInt(), 1);
  EXPECT_EQ(run["drive"].toObject()["adapter"].toInt(), 0);
}

TEST(CliSignalTest, CtrlCMidRunFinishesTheRunFirst) {
  container_test::ScratchDir dir;
  const std::string log = dir.File("cli.log");
  // After the twentieth command: inside stage one's uploads.
  const Outcome o = Start(
      ZX_CLI_DEMO_PATH,
      {"flash", "--yes", "--latency-scale", "0.05", "--command-log", QString::fromStdString(log)}, log, 20);
  EXPECT_EQ(o.exitCode, 128 + SIGINT) << o.err;
  EXPECT_THAT(o.out, ::testing::HasSubstr("succeeded"));
  std::ifstream in(log);
  std::size_t programs = 0;
  for (std::string line; std::getline(in, line);) {
    const std::size_t at = line.find("cdb=cb");
    programs += at != std::string::npos && line.at(at + 7) == '2';  // vendor command, program sub-code
  }
  EXPECT_EQ(programs, 18u);  // the whole run
}

TEST(CliUsageTest, RefusesWithoutATerminalOrAVerb) {
  EXPECT_EQ(Start(ZX_CLI_DEMO_PATH, {"flash"}).exitCode, 2);  // no --yes, no terminal
  EXPECT_EQ(Start(ZX_CLI_DEMO_PATH, {"zap"}).exitCode, 2);
  EXPECT_EQ(Start(ZX_CLI_DEMO_PATH, {"flash", "--yes", "--drives", "0"}).exitCode, 3);
  EXPECT_EQ(Start(ZX_CLI_DEMO_PATH, {"flash", "--yes", "--drives", "2"}).exitCode, 2);
}

// An operator at a terminal answers the question, which names the drive
// and both versions. Only "y" lets a command of the flash run reach the
// drive; the bar is then redrawn in place, its share only growing, to 100%.
struct AtTerminal {
  const char* name;
  const char* keys;        // typed once the question shows
  int exitCode;            // -1: ended by `signal`
  int signal;              // the signal that ended it, or 0
  const char* says;        // a part of what the report's stream shows; nullptr: nothing of its own
  bool outToFile = false;  // stdout into a file, stdin and stderr on the terminal
};
void PrintTo(const AtTerminal& c, std::ostream* os) { *os << c.name; }
class CliTerminalTest : public ::testing::TestWithParam<AtTerminal> {};

std::vector<emulator::CommandKind> Kinds(const std::string& log) {
  std::ifstream in(log);
  std::vector<emulator::CommandKind> kinds;
  for (std::string line; std::getline(in, line);) {
    std::vector<uint8_t> cdb;
    for (std::size_t at = line.find("cdb=") + 4; std::isxdigit(static_cast<unsigned char>(line[at])); at += 2)
      cdb.push_back(static_cast<uint8_t>(std::stoi(line.substr(at, 2), nullptr, 16)));
    kinds.push_back(emulator::ClassifyCommand(cdb.data(), static_cast<uint8_t>(cdb.size())));
  }
  return kinds;
}

// The terminal's line ends as the program wrote them.
std::string Written(std::string shown) {
  for (std::size_t at = shown.find("\r\n"); at != std::string::npos; at = shown.find("\r\n", at))
    shown.erase(at, 1);
  return shown;
}

TEST_P(CliTerminalTest, FlashesOnlyWhenTheOperatorSaysYes) {
  const AtTerminal& c = GetParam();
  container_test::ScratchDir dir;
  const std::string log = dir.File("cli.log");
  const std::string outFile = dir.File("out.txt");
  test_process::Launch launch = test_process::DemoLaunch(
      ZX_CLI_DEMO_PATH, {"flash", "--latency-scale", "0", "--language", "en", "--command-log", log});
  if (c.outToFile)
    launch.inChild = [path = outFile.c_str()] {
      const int fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC, 0600);
      ::dup2(fd, STDOUT_FILENO);
      ::close(fd);
    };
  test_process::PtyProgram cli(launch);
  ASSERT_TRUE(cli.Started());
  ASSERT_TRUE(cli.WaitFor([](const std::string& shown) { return shown.find("[y/N] ") != std::string::npos; },
                          kRunMs));
  cli.Type(c.keys);
  const Outcome end = cli.Finish(kRunMs);
  const std::string shown = Written(end.out);
  const std::string file = Read(outFile);
  EXPECT_EQ(end.exitCode, c.exitCode) << shown;
  EXPECT_EQ(end.signal, c.signal) << shown;
  EXPECT_THAT(shown, ::testing::HasSubstr("Flash drive 1  D:  ha 0 target 0  ZORVEX   DVD-ROM RT-5800B 1.0A\n"
                                          "  from 1.0A to 1.0B? [y/N] "));
  if (c.says != nullptr) {
    EXPECT_THAT(c.outToFile ? file : shown, ::testing::HasSubstr(c.says));
  }
  const bool flashes = c.exitCode == 0;
  const std::vector<emulator::CommandKind> kinds = Kinds(log);
  ASSERT_FALSE(kinds.empty());  // the start-up's inquiries reached the drive in any case
  if (flashes) {
    EXPECT_EQ(std::count(kinds.begin(), kinds.end(), emulator::CommandKind::Program), 18);  // the whole run
  } else {
    for (const emulator::CommandKind kind : kinds)
      EXPECT_TRUE(kind == emulator::CommandKind::Inquiry || kind == emulator::CommandKind::Read)
          << emulator::CommandKindName(kind) << " reached the drive";
  }
  if (c.outToFile) {
    EXPECT_EQ(file.find("[y/N]"), std::string::npos);
    ExpectPlainProgress(file);
    EXPECT_EQ(shown.find('\r'), std::string::npos) << shown;
    return;
  }
  const std::vector<int> bar = Percents(shown, kBar);
  EXPECT_EQ(bar.size() >= 10, flashes) << shown;
  EXPECT_TRUE(std::is_sorted(bar.begin(), bar.end())) << shown;
  if (flashes) {
    ASSERT_FALSE(bar.empty());
    EXPECT_EQ(bar.back(), 100);
    EXPECT_THAT(shown, ::testing::ContainsRegex("100% *\nFlashing Completed\n"));  // the bar's line ended
  }
}

INSTANTIATE_TEST_SUITE_P(
    Answers, CliTerminalTest,
    ::testing::Values(AtTerminal{"Yes", "y\n", 0, 0, "\nsucceeded: drive 1 now carries 1.0B"},
                      AtTerminal{"No", "n\n", 3, 0,
                                 "[y/N] n\nzorvex-flash-cli-demo: not flashed: nothing was sent\n"},
                      // Ctrl+D: what follows the question starts a line of its own.
                      AtTerminal{"EndOfInput", "\x04", 3, 0, "[y/N] \nzorvex-flash-cli-demo: not flashed"},
                      AtTerminal{"CtrlC", "\x03", -1, SIGINT, nullptr},
                      AtTerminal{"YesWithOutputToAFile", "y\n", 0, 0, "\nsucceeded: drive 1", true}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
