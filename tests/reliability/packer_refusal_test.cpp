// The packer's refusals that its own tests leave out: malformed command
// lines, and outputs it cannot write (a path through a regular file, a name
// longer than the file system allows, a file system that takes no new
// files). Each must end with exit code 1, exactly one line on the error
// stream, nothing on the output stream and no file written or left behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <ostream>
#include <sstream>

#include "firmware/container_pack_command.h"
#include "tests/firmware/container_test_files.h"

namespace reliability {
namespace {

namespace fs = std::filesystem;
using container_test::FakeExecutable;
using container_test::ReadBytes;
using container_test::ScratchDir;
using container_test::WriteBytes;

struct Refusal {
  const char* name;
  std::vector<std::string> args;  // "@x": the file x in the scratch folder
  int code = PACK_REFUSED;        // PACK_USAGE for a malformed command line
};
void PrintTo(const Refusal& r, std::ostream* os) { *os << r.name; }

std::vector<std::string> Pack(std::vector<std::string> tail) {
  std::vector<std::string> args = {"pack", "--exe", "@exe"};
  args.insert(args.end(), tail.begin(), tail.end());
  return args;
}

const std::string LONG_NAME(fs::path::string_type::size_type{300}, 'n');

class PackerRefusal : public ::testing::TestWithParam<Refusal> {};

TEST_P(PackerRefusal, RefusesWithOneLineAndWritesNothing) {
  ScratchDir dir;
  WriteBytes(dir.File("exe"), FakeExecutable(700));
  std::vector<std::string> args;
  for (const std::string& a : GetParam().args) args.push_back(a[0] == '@' ? dir.File(a.substr(1)) : a);
  const auto namesBefore = dir.Names();

  std::ostringstream out, err;
  const int code = RunPackCommand(args, out, err);
  EXPECT_EQ(code, GetParam().code);
  const std::string e = err.str();
  EXPECT_EQ(e.rfind("zx-pack: ", 0), 0u) << e;
  EXPECT_EQ(std::count(e.begin(), e.end(), '\n'), 1) << e;
  EXPECT_TRUE(out.str().empty()) << out.str();
  EXPECT_EQ(dir.Names().size(), namesBefore.size()) << "a file was written or left behind";
  EXPECT_EQ(ReadBytes(dir.File("exe")), FakeExecutable(700));
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, PackerRefusal,
    ::testing::Values(
        Refusal{"UnknownOption", Pack({"--output", "@out", "--synthetic", "1.0B", "--colour", "red"}), PACK_USAGE},
        Refusal{"OptionWithoutValue", Pack({"--synthetic", "1.0B", "--output"}), PACK_USAGE},
        Refusal{"OptionTwice", Pack({"--output", "@out", "--synthetic", "1.0B", "--synthetic", "2.0B"}), PACK_USAGE},
        Refusal{"VersionWithoutParts",
                Pack({"--output", "@out", "--synthetic", "1.0B", "--version", "1.0B"}), PACK_USAGE},
        Refusal{"NoExecutable", {"pack", "--output", "@out", "--synthetic", "1.0B"}, PACK_USAGE},
        Refusal{"SynthWithoutVersion", {"synth", "--container", "@c"}, PACK_USAGE},
        Refusal{"SynthOnePartOnly", {"synth", "--version", "1.0B", "--part1", "@p1"}, PACK_USAGE},
        Refusal{"SynthWithoutTarget", {"synth", "--version", "1.0B"}, PACK_USAGE},
        Refusal{"SynthSameFileTwice", {"synth", "--version", "1.0B", "--part1", "@p", "--part2", "@p"}},
        Refusal{"SynthContainerOverAPart",
                {"synth", "--version", "1.0B", "--part1", "@p1", "--part2", "@p2", "--container", "@p2"}},
        Refusal{"InspectWithoutFile", {"inspect"}, PACK_USAGE}, Refusal{"InspectTwoFiles", {"inspect", "@exe", "@exe"}, PACK_USAGE},
        Refusal{"InspectMissingFile", {"inspect", "@missing"}}, Refusal{"InspectAFolder", {"inspect", "@"}}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    UnwritableTargets, PackerRefusal,
    ::testing::Values(
        Refusal{"OutputThroughARegularFile", Pack({"--synthetic", "1.0B", "--output", "@exe/out"})},
        Refusal{"OutputNameTooLong", Pack({"--synthetic", "1.0B", "--output", "@" + LONG_NAME})},
        // No user, root included, may make a file there.
        Refusal{"OutputOnProcFileSystem", Pack({"--synthetic", "1.0B", "--output", "/proc/zx-pack-out"})},
        Refusal{"SynthIntoARegularFile", {"synth", "--version", "1.0B", "--container", "@exe/c"}},
        Refusal{"SynthPartsOnProcFileSystem",
                {"synth", "--version", "1.0B", "--part1", "/proc/zx-p1", "--part2", "/proc/zx-p2"}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace reliability
