// The packer's inspection agrees with the program's own check, and says
// clearly when a stored checksum disagrees with its data.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <sstream>

#include "firmware/container.h"
#include "firmware/container_pack_command.h"
#include "tests/firmware/container_test_files.h"
#include "tests/support/fakes.h"
#include "tests/support/recording_view.h"

namespace {

using container_test::Concat;
using container_test::FakeExecutable;
using container_test::ScratchDir;
using container_test::WriteBytes;

struct Variant {
  const char* name;
  std::function<void(std::vector<uint8_t>& file)> change;  // file = 300-byte prefix + container
  bool accepted;                                           // by the program's check
  bool checksumsAgree;
};

void PrintTo(const Variant& v, std::ostream* os) { *os << v.name; }
class InspectVariant : public ::testing::TestWithParam<Variant> {};

TEST_P(InspectVariant, ExitCodeAndVerdictMatchTheProgramsCheck) {
  ScratchDir dir;
  auto file = Concat(FakeExecutable(300), SyntheticContainer({'1', '0', 'B'}));
  GetParam().change(file);
  const std::string path = dir.File("subject");
  WriteBytes(path, file);

  std::ostringstream out, err;
  const int code = RunPackCommand({"inspect", path}, out, err);
  const bool good = GetParam().accepted && GetParam().checksumsAgree;
  EXPECT_EQ(code, good ? PACK_OK : PACK_REFUSED) << out.str();
  // A file the utility or the drive would refuse: the report still on stdout, the refusal on stderr.
  const std::string e = err.str();
  EXPECT_EQ(std::count(e.begin(), e.end(), '\n'), good ? 0 : 1) << e;
  EXPECT_NE(out.str().find(GetParam().accepted ? "would say: accepted" : "would say: rejected"),
            std::string::npos)
      << out.str();
  EXPECT_EQ(out.str().find("WARNING") != std::string::npos, !GetParam().checksumsAgree) << out.str();

  fakes::FakeSystemInfo system;
  system.ownPath = path;
  ContainerInfo info;
  RunState run;
  fakes::RecordingView view;
  CheckContainer(system, info, run, view);
  EXPECT_EQ(run.containerValid == 1, GetParam().accepted);
}

constexpr std::size_t C = 300;  // where the container starts in the file
void Set(std::vector<uint8_t>& f, std::size_t at, std::vector<uint8_t> bytes) {
  std::copy(bytes.begin(), bytes.end(), f.begin() + static_cast<std::ptrdiff_t>(at));
}

INSTANTIATE_TEST_SUITE_P(
    Files, InspectVariant,
    ::testing::Values(Variant{"Good", [](auto&) {}, true, true},
                      Variant{"PartOneDataChanged", [](auto& f) { f[C + 1000] ^= 0x80; }, true, false},
                      Variant{"PartTwoChecksumChanged", [](auto& f) { f[C + 0x9B003] ^= 0x01; }, true, false},
                      Variant{"PartTwoTagWrong",
                              [](auto& f) {
                                Set(f, C + 0x9B004, {'Z', 'Z', 'Z', 'Z'});
                              },
                              true, true},
                      Variant{"PartOneTagWrong",
                              [](auto& f) {
                                Set(f, C + 0x7B000, {'R', '5', '8', '8'});
                              },
                              false, true},
                      Variant{"VersionRejected", [](auto& f) { Set(f, C + 2, {'1'}); }, false, false},
                      Variant{"ShorterThanAContainer", [](auto& f) { f.erase(f.begin(), f.begin() + C + 1); },
                              false, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Inspect, ReportsTheCarriedFields) {
  ScratchDir dir;
  auto file = SyntheticContainer({'4', '0', 'Q'});
  file[0x7AFFE] = 0x0A;
  file[0x7AFFF] = 0xFF;
  WriteBytes(dir.File("f"), file);
  std::ostringstream out, err;
  EXPECT_EQ(RunPackCommand({"inspect", dir.File("f")}, out, err), PACK_REFUSED);
  const std::string text = out.str();
  EXPECT_NE(text.find("carried version: 4.0Q"), std::string::npos) << text;
  EXPECT_NE(text.find("part one checksum: stored 0aff"), std::string::npos) << text;
  EXPECT_NE(text.find("WARNING: part one checksum mismatch"), std::string::npos) << text;
  EXPECT_NE(text.find("part one tag: R580"), std::string::npos) << text;
}

TEST(Inspect, RefusesAMissingFile) {
  std::ostringstream out, err;
  EXPECT_EQ(RunPackCommand({"inspect", "/nonexistent/zx-file"}, out, err), PACK_REFUSED);
  const std::string line = err.str();
  EXPECT_EQ(std::count(line.begin(), line.end(), '\n'), 1) << line;
}

}  // namespace
