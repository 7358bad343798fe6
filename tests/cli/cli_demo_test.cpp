// The command-line demo started as an operator or a script would start it,
// against the window demo in front of the same virtual drives: the same
// commands reach the drives, failures and signals end it as they end the
// window, and --json gives objects a reader can parse.
#include <gmock/gmock.h>
#include <signal.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <fstream>

#include "tests/firmware/container_test_files.h"

namespace {

constexpr int kRunMs = 60000;

struct Outcome {
  int exitCode = -1;
  std::string out;
  std::string err;
};

// `signalAfter`: SIGINT once the log has that many lines (0: none).
Outcome Start(const QString& program, const QStringList& args, const std::string& log = {},
              std::size_t signalAfter = 0) {
  QProcess run;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  env.remove("ZX_VIRTUAL_ASPI");
  run.setProcessEnvironment(env);
  run.start(program, args);
  Outcome outcome;
  if (!run.waitForStarted()) return outcome;
  const auto lines = [&log] {
    std::ifstream in(log);
    std::size_t n = 0;
    for (std::string line; std::getline(in, line);) ++n;
    return n;
  };
  if (signalAfter > 0) {
    while (lines() < signalAfter && run.state() == QProcess::Running) run.waitForFinished(10);
    ::kill(static_cast<pid_t>(run.processId()), SIGINT);
  }
  if (!run.waitForFinished(kRunMs) || run.exitStatus() != QProcess::NormalExit) {
    run.kill();
    run.waitForFinished();
    return outcome;
  }
  outcome.exitCode = run.exitCode();
  outcome.out = run.readAllStandardOutput().toStdString();
  outcome.err = run.readAllStandardError().toStdString();
  return outcome;
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

class CliWholeRunTest : public ::testing::TestWithParam<const char*> {};

TEST_P(CliWholeRunTest, SendsTheWindowDemosCommands) {
  const Twin twin = RunBoth({"--family", GetParam()});
  ASSERT_EQ(twin.window.exitCode, 0) << twin.window.err;
  ASSERT_EQ(twin.cli.exitCode, 0) << twin.cli.err;
  EXPECT_THAT(twin.cli.out, ::testing::HasSubstr("succeeded: drive 1 now carries 1.0B"));
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

}  // namespace
