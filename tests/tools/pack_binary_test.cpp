// The built zx-pack program end to end: the same work as in-process, through
// its real argument handling, exit codes and output streams.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "firmware/container_format.h"
#include "tests/firmware/container_test_files.h"

namespace {

namespace fs = std::filesystem;
using container_test::Concat;
using container_test::FakeExecutable;
using container_test::ReadBytes;
using container_test::ScratchDir;
using container_test::WriteBytes;

// CTest says where the build is; run by hand, the test program sits in
// <build>/tests.
fs::path PackerPath() {
  if (const char* build = std::getenv("ZX_BUILD_DIR")) return fs::path(build) / "tools" / "zx-pack";
  return fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "tools" / "zx-pack";
}

std::string Quote(const std::string& s) { return "'" + s + "'"; }

// Runs zx-pack with `args`; its stdout and stderr land in files of `dir`.
int RunPacker(const ScratchDir& dir, const std::string& args) {
  const std::string command = Quote(PackerPath().string()) + " " + args + " >" + Quote(dir.File("stdout")) +
                              " 2>" + Quote(dir.File("stderr"));
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Text(const std::string& path) {
  const auto bytes = ReadBytes(path);
  return {bytes.begin(), bytes.end()};
}

TEST(PackBinary, SynthesisesPacksAndInspects) {
  ASSERT_TRUE(fs::exists(PackerPath())) << PackerPath() << " is not built (target zx-pack)";
  ScratchDir dir;
  const std::string exe = dir.File("exe"), out = dir.File("out"), p1 = dir.File("p1"), p2 = dir.File("p2");
  WriteBytes(exe, FakeExecutable(64));

  ASSERT_EQ(RunPacker(dir, "synth --version 1.0B --part1 " + Quote(p1) + " --part2 " + Quote(p2)), 0)
      << Text(dir.File("stderr"));
  ASSERT_EQ(RunPacker(dir, "pack --exe " + Quote(exe) + " --part1 " + Quote(p1) + " --part2 " + Quote(p2) +
                               " --output " + Quote(out)),
            0)
      << Text(dir.File("stderr"));
  EXPECT_EQ(ReadBytes(out), Concat(FakeExecutable(64), SyntheticContainer({'1', '0', 'B'})));

  EXPECT_EQ(RunPacker(dir, "inspect " + Quote(out)), 0);
  EXPECT_NE(Text(dir.File("stdout")).find("carried version: 1.0B"), std::string::npos);
  EXPECT_EQ(Text(dir.File("stderr")), "");
}

// What the command line answers, through the real exit status and streams.
struct Answer {
  const char* name;
  std::string args;  // "@" stands for the scratch folder
  int status;
  const char* out;   // expected on stdout (a part of it); nullptr: nothing at all
  const char* err;   // expected in the one line on stderr; nullptr: nothing at all
};
void PrintTo(const Answer& a, std::ostream* os) { *os << a.name; }
class PackBinaryAnswer : public ::testing::TestWithParam<Answer> {};

TEST_P(PackBinaryAnswer, ExitStatusAndStreams) {
  ASSERT_TRUE(fs::exists(PackerPath())) << PackerPath() << " is not built (target zx-pack)";
  ScratchDir dir;
  WriteBytes(dir.File("exe"), FakeExecutable(64));
  std::string args = GetParam().args;
  for (std::size_t at; (at = args.find('@')) != std::string::npos;) args.replace(at, 1, dir.File(""));
  EXPECT_EQ(RunPacker(dir, args), GetParam().status);
  const std::string out = Text(dir.File("stdout")), err = Text(dir.File("stderr"));
  if (GetParam().out == nullptr)
    EXPECT_EQ(out, "");
  else
    EXPECT_NE(out.find(GetParam().out), std::string::npos) << out;
  if (GetParam().err == nullptr) {
    EXPECT_EQ(err, "");
  } else {
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_NE(err.find(GetParam().err), std::string::npos) << err;
  }
  EXPECT_FALSE(fs::exists(dir.File("out")));
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, PackBinaryAnswer,
    ::testing::Values(
        Answer{"RejectedVersion", "pack --exe @exe --synthetic 1.1A --output @out", 1, nullptr, "1.1A"},
        Answer{"OutputIsTheExecutable", "pack --exe @exe --synthetic 1.0B --output @./exe", 1, nullptr,
               "same file"},
        Answer{"InspectRejected", "inspect @exe", 1, "would say: rejected", "the utility would reject it"},
        Answer{"UnknownCommand", "squash", 2, nullptr, "unknown command"},
        Answer{"MissingOutput", "pack --exe @exe --synthetic 1.0B", 2, nullptr, "--output"},
        Answer{"Version", "--version", 0, "zx-pack " ZX_VERSION "\n", nullptr},
        Answer{"HelpStatesTheExitStatuses", "--help", 0, "1 refused or failed, nothing written", nullptr},
        Answer{"ShortHelp", "-h", 0, "usage: zx-pack pack", nullptr},
        Answer{"InspectHelpIsNoFile", "inspect --help", 0, "usage: zx-pack inspect FILE\n", nullptr},
        Answer{"PackHelpAfterOptions", "pack --exe @exe -h", 0, "usage: zx-pack pack --exe", nullptr},
        Answer{"SynthShortHelp", "synth -h", 0, "usage: zx-pack synth", nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

// Standard output that cannot take the packer's lines: a full disk, or a
// pipe whose reader has gone before anything is written. The work is done
// whole all the same; the status says the output was lost (3), one line on
// stderr says why, and no SIGPIPE ends the packer.
struct LostOutput {
  const char* name;
  const char* args;  // "@" stands for the scratch folder
  bool closedPipe;   // else /dev/full
  bool writesOut;    // the command writes the file "out"
};
void PrintTo(const LostOutput& c, std::ostream* os) { *os << c.name; }
class PackBinaryOutputLost : public ::testing::TestWithParam<LostOutput> {};

TEST_P(PackBinaryOutputLost, ExitStatusSaysSo) {
  ASSERT_TRUE(fs::exists(PackerPath())) << PackerPath() << " is not built (target zx-pack)";
  ScratchDir dir;
  WriteBytes(dir.File("exe"), FakeExecutable(64));
  WriteBytes(dir.File("packed"), Concat(FakeExecutable(64), SyntheticContainer({'1', '0', 'B'})));
  std::string command =
      Quote(PackerPath().string()) + " " + GetParam().args + " 2>" + Quote(dir.File("stderr"));
  for (std::size_t at; (at = command.find('@')) != std::string::npos;) command.replace(at, 1, dir.File(""));
  // The reader goes before the packer starts (and no other process of the
  // suite inherits it): its first write meets a pipe nobody reads.
  int ends[2];
  ASSERT_EQ(::pipe2(ends, O_CLOEXEC), 0);
  ::close(ends[0]);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::signal(SIGPIPE, SIG_DFL);
    const int out = GetParam().closedPipe ? ends[1] : ::open("/dev/full", O_WRONLY);
    if (out < 0 || ::dup2(out, 1) < 0) ::_exit(126);
    ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(ends[1]);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 3) << status;
  const std::string err = Text(dir.File("stderr"));
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
  EXPECT_NE(err.find("standard output could not be written"), std::string::npos) << err;
  if (GetParam().writesOut) {
    EXPECT_EQ(ReadBytes(dir.File("out")), Concat(FakeExecutable(64), SyntheticContainer({'1', '0', 'B'})));
  }
}
INSTANTIATE_TEST_SUITE_P(
    FullDiskOrClosedPipe, PackBinaryOutputLost,
    ::testing::Values(
        LostOutput{"PackIntoAClosedPipe", "pack --exe @exe --synthetic 1.0B --output @out", true, true},
        LostOutput{"PackOntoAFullDisk", "pack --exe @exe --synthetic 1.0B --output @out", false, true},
        LostOutput{"InspectOntoAFullDisk", "inspect @packed", false, false},
        LostOutput{"VersionIntoAClosedPipe", "--version", true, false}),
    [](const auto& info) { return std::string(info.param.name); });

// A file system that takes no more than 64 KiB of the output: the kernel
// ends the packer by SIGXFSZ mid-write, unless the packer was started with
// it ignored, when the write fails instead. Either way no temporary file is
// left. `ignored`: the second case.
class PackBinaryFileSizeLimit : public ::testing::TestWithParam<bool> {};

TEST_P(PackBinaryFileSizeLimit, LeavesNoTemporaryFile) {
  ASSERT_TRUE(fs::exists(PackerPath())) << PackerPath() << " is not built (target zx-pack)";
  ScratchDir dir;
  WriteBytes(dir.File("exe"), FakeExecutable(64));
  const std::string packer = PackerPath().string(), exe = dir.File("exe"), out = dir.File("out");
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const rlimit size{64 * 1024, 64 * 1024}, core{0, 0};
    ::setrlimit(RLIMIT_FSIZE, &size);
    ::setrlimit(RLIMIT_CORE, &core);
    ::signal(SIGXFSZ, GetParam() ? SIG_IGN : SIG_DFL);
    if (!::freopen("/dev/null", "w", stdout) || !::freopen(dir.File("stderr").c_str(), "w", stderr)) ::_exit(126);
    ::execl(packer.c_str(), packer.c_str(), "pack", "--exe", exe.c_str(), "--synthetic", "1.0B", "--output",
            out.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  if (GetParam()) {
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
    EXPECT_NE(Text(dir.File("stderr")).find("cannot write"), std::string::npos) << Text(dir.File("stderr"));
  } else {
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ) << status;
  }
  for (const std::string& name : dir.Names()) EXPECT_TRUE(name == "exe" || name == "stderr") << name;
}
INSTANTIATE_TEST_SUITE_P(SignalDefaultOrIgnored, PackBinaryFileSizeLimit, ::testing::Bool());

}  // namespace
