// The built zx-pack program end to end: the same work as in-process, through
// its real argument handling, exit codes and output streams.
#include <gtest/gtest.h>

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

TEST(PackBinary, RefusesWithOneLineAndAFailingExit) {
  ASSERT_TRUE(fs::exists(PackerPath())) << PackerPath() << " is not built (target zx-pack)";
  ScratchDir dir;
  WriteBytes(dir.File("exe"), FakeExecutable(64));
  EXPECT_EQ(RunPacker(dir, "pack --exe " + Quote(dir.File("exe")) + " --synthetic 1.1A --output " +
                               Quote(dir.File("out"))),
            1);
  const std::string err = Text(dir.File("stderr"));
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
  EXPECT_NE(err.find("1.1A"), std::string::npos) << err;
  EXPECT_FALSE(fs::exists(dir.File("out")));
}

}  // namespace
