// The real command-line program through its own SG_IO code, in front of the
// stand-in sg driver (tests/support/sg_standin), as the window product's
// end-to-end tests run it: a second copy started during a run is kept off
// the drive.
#include <gmock/gmock.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <fstream>

#include "tests/firmware/container_test_files.h"

namespace {

constexpr int kRunMs = 90000;

std::size_t Lines(const std::string& path) {
  std::ifstream in(path);
  std::size_t n = 0;
  for (std::string line; std::getline(in, line);) ++n;
  return n;
}

QProcessEnvironment StandIn(const std::string& dir, const std::string& log) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("LANG", "C");
  env.insert("LD_PRELOAD", ZX_SG_STANDIN_PATH);
  env.insert("ASAN_OPTIONS", env.value("ASAN_OPTIONS") + ":verify_asan_link_order=0");
  env.insert("ZX_SG_STANDIN", QString::fromStdString("dir=" + dir + ";log=" + log + ";latency=100"));
  return env;
}

TEST(CliSecondCopyTest, FindsTheDriveHeldAndSendsNothing) {
  container_test::ScratchDir dir;
  const QString cli = QString::fromStdString(dir.File("zorvex-flash-cli"));
  ASSERT_EQ(
      QProcess::execute(ZX_PACK_PATH, {"pack", "--exe", ZX_CLI_PATH, "--output", cli, "--synthetic", "1.0B"}),
      0);
  const std::string log = dir.File("first.log");
  const std::string secondLog = dir.File("second.log");
  QProcess first;
  first.setProcessEnvironment(StandIn(dir.File(""), log));
  first.start(cli, {"flash", "--yes"});
  ASSERT_TRUE(first.waitForStarted());
  const qint64 pid = first.processId();
  // Mid-run: past the start-up's commands, well before the last.
  while (Lines(log) < 20 && first.state() == QProcess::Running) first.waitForFinished(10);
  QProcess second;
  second.setProcessEnvironment(StandIn(dir.File(""), secondLog));
  second.start(cli, {"flash", "--yes"});
  ASSERT_TRUE(second.waitForFinished(kRunMs));
  ASSERT_TRUE(first.waitForFinished(kRunMs));

  EXPECT_EQ(second.exitCode(), 3);
  EXPECT_THAT(second.readAllStandardError().toStdString(),
              ::testing::HasSubstr("/dev/sg0 is in use by process " + std::to_string(pid)));
  EXPECT_EQ(Lines(secondLog), 0u);
  const std::string out = first.readAllStandardOutput().toStdString();
  EXPECT_EQ(first.exitCode(), 0) << out << first.readAllStandardError().toStdString();
  EXPECT_THAT(out, ::testing::HasSubstr("succeeded"));
  EXPECT_EQ(Lines(log), 65u);  // the whole run, start-up included
}

}  // namespace
