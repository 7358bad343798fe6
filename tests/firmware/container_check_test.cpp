// The start-up check and the full image read, run against real files that
// end (or fail to end) in a container.
#include <gmock/gmock.h>

#include <cstring>
#include <optional>

#include "firmware/container.h"
#include "tests/firmware/container_test_files.h"
#include "tests/support/fakes.h"
#include "tests/support/recording_view.h"

namespace {

using container_test::Concat;
using container_test::FakeExecutable;
using container_test::ScratchDir;
using container_test::WriteBytes;

// What a field shows when the check never showed it.
constexpr std::nullopt_t UNTOUCHED = std::nullopt;

std::vector<uint8_t> ContainerWith(VersionChars version) { return SyntheticContainer(version); }

class CheckContainerTest : public ::testing::Test {
 protected:
  CheckContainerTest() { run.containerValid = 1; }

  // Writes `bytes` as the program's own file and runs the check on it.
  void Check(const std::vector<uint8_t>& bytes) {
    WriteBytes(dir.File("zorvex-flash"), bytes);
    system.ownPath = dir.File("zorvex-flash");
    CheckContainer(system, info, run, view);
  }

  // The text last shown by the view call `kind` ("checksum", "tag", "version").
  std::optional<std::string> Shown(const std::string& kind) const {
    std::optional<std::string> text;
    for (const std::string& call : view.Calls())
      if (call.starts_with(kind + " ")) text = call.substr(kind.size() + 1);
    return text;
  }

  // The status shown, then the flash button disabled, as the last calls.
  void ExpectRejected(StatusMsg status) {
    const auto calls = view.Calls();
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls[calls.size() - 2], "status " + std::to_string(static_cast<int>(status)));
    EXPECT_EQ(calls.back(), "flash off");
    EXPECT_EQ(run.containerValid, 0);
    EXPECT_EQ(Shown("version"), UNTOUCHED);
  }

  ScratchDir dir;
  fakes::FakeSystemInfo system;
  RunState run;
  ContainerInfo info;
  fakes::RecordingView view;
};

TEST_F(CheckContainerTest, AcceptsVersion10BAndClearsTheMessageArea) {
  const auto c = ContainerWith({'1', '0', 'B'});
  Check(Concat(FakeExecutable(4096), c));

  EXPECT_EQ(run.containerValid, 1);
  char hex[5];
  std::snprintf(hex, sizeof hex, "%02x%02x", c[0x7AFFE], c[0x7AFFF]);
  // No status and no change of the flash button: the earlier ones stay.
  EXPECT_THAT(view.Calls(),
              ::testing::ElementsAre("checksum " + std::string(hex), "tag R580", "clear", "version 1.0B"));
  EXPECT_EQ(info.ownPath, dir.File("zorvex-flash"));
  EXPECT_STREQ(info.version, "1.0B");
  EXPECT_STREQ(info.part1Tag, "R580");
  EXPECT_EQ(0, std::memcmp(info.part1Checksum, &c[0x7AFFE], 2));
  EXPECT_EQ(0, std::memcmp(info.part2Checksum, &c[0x9B002], 2));
}

TEST_F(CheckContainerTest, RejectsVersion11AButFillsTheFieldLabels) {
  Check(ContainerWith({'1', '1', 'A'}));
  ExpectRejected(StatusMsg::IncorrectFile);
  EXPECT_EQ(Shown("tag"), "R580");
  ASSERT_NE(Shown("checksum"), UNTOUCHED);
  EXPECT_EQ(Shown("checksum")->size(), 4u);
}

TEST_F(CheckContainerTest, IgnoresPartTwosTag) {
  auto c = ContainerWith({'2', '0', 'C'});
  std::memcpy(&c[0x9B004], "XXXX", 4);
  Check(c);
  EXPECT_EQ(run.containerValid, 1);
  EXPECT_EQ(Shown("version"), "2.0C");
}

struct TagCase {
  std::array<uint8_t, 4> tag;
  std::string shown;  // the tag up to its first zero byte
};
class CheckContainerTag : public CheckContainerTest, public ::testing::WithParamInterface<TagCase> {};

TEST_P(CheckContainerTag, RejectsAnyOtherTagAndShowsIt) {
  auto c = ContainerWith({'1', '0', 'B'});
  std::memcpy(&c[0x7B000], GetParam().tag.data(), 4);
  Check(Concat(FakeExecutable(100), c));
  ExpectRejected(StatusMsg::IncorrectFile);
  EXPECT_EQ(Shown("tag"), GetParam().shown);
}
INSTANTIATE_TEST_SUITE_P(
    OneByteOff, CheckContainerTag,
    ::testing::Values(TagCase{{'X', '5', '8', '0'}, "X580"}, TagCase{{'R', '6', '8', '0'}, "R680"},
                      TagCase{{'R', '5', '9', '0'}, "R590"}, TagCase{{'R', '5', '8', 'O'}, "R58O"},
                      TagCase{{'R', '5', 0x00, '0'}, "R5"}, TagCase{{'R', '5', '8', 0x00}, "R58"},
                      TagCase{{0x00, '5', '8', '0'}, ""}));

struct ChecksumCase {
  VersionChars version;
  std::array<uint8_t, 4> tag;
};
class CheckContainerChecksum : public CheckContainerTest,
                               public ::testing::WithParamInterface<ChecksumCase> {};

TEST_P(CheckContainerChecksum, ShowsPartOnesStoredChecksumInLowerCaseHex) {
  auto c = ContainerWith(GetParam().version);
  c[0x7AFFE] = 0x0A;
  c[0x7AFFF] = 0xFF;
  std::memcpy(&c[0x7B000], GetParam().tag.data(), 4);
  Check(c);
  EXPECT_EQ(Shown("checksum"), "0aff");
  EXPECT_EQ(info.part1Checksum[0], 0x0A);
  EXPECT_EQ(info.part1Checksum[1], 0xFF);
}
INSTANTIATE_TEST_SUITE_P(AcceptedOrNot, CheckContainerChecksum,
                         ::testing::Values(ChecksumCase{{'1', '0', 'B'}, {'R', '5', '8', '0'}},
                                           ChecksumCase{{'1', '1', 'A'}, {'R', '5', '8', '0'}},
                                           ChecksumCase{{'1', '0', 'B'}, {'Q', '5', '8', '0'}}));

class CheckContainerUnopenable : public CheckContainerTest,
                                 public ::testing::WithParamInterface<std::string> {};

TEST_P(CheckContainerUnopenable, ShowsCannotOpenAndLeavesTheLabels) {
  const std::string path = GetParam().empty() ? "" : dir.File(GetParam());
  if (GetParam() == "folder") std::filesystem::create_directory(path);
  system.ownPath = path;
  CheckContainer(system, info, run, view);
  ExpectRejected(StatusMsg::CannotOpen);
  EXPECT_EQ(Shown("checksum"), UNTOUCHED);
  EXPECT_EQ(Shown("tag"), UNTOUCHED);
  EXPECT_EQ(info.ownPath, path);
}
INSTANTIATE_TEST_SUITE_P(Paths, CheckContainerUnopenable, ::testing::Values("missing", "folder", ""));

// File lengths around every field boundary. Shorter than a container: the
// file is the container's own tail, so the fields that fit lie exactly
// where the check looks, and it must still refuse the file without reading
// before its start, showing part one's fields once they lie in the file.
// From a whole container on: a prefix and a container.
class CheckContainerLength : public CheckContainerTest, public ::testing::WithParamInterface<std::size_t> {};

TEST_P(CheckContainerLength, RejectsEveryFileShorterThanAContainer) {
  const std::size_t length = GetParam();
  const auto c = ContainerWith({'1', '0', 'B'});
  if (length < c.size()) {
    Check(std::vector<uint8_t>(c.end() - static_cast<std::ptrdiff_t>(length), c.end()));
    ExpectRejected(StatusMsg::IncorrectFile);
    const bool fieldsInside = length >= 131082;  // part one's checksum and tag
    EXPECT_EQ(Shown("tag"), fieldsInside ? std::optional<std::string>("R580") : UNTOUCHED);
    EXPECT_EQ(Shown("checksum").has_value(), fieldsInside);
  } else {
    Check(Concat(FakeExecutable(length - c.size()), c));
    EXPECT_EQ(run.containerValid, 1);
    EXPECT_EQ(Shown("version"), "1.0B");
  }
}

std::vector<std::size_t> BoundaryLengths() {
  std::vector<std::size_t> lengths;
  for (std::size_t n = 0; n <= 12; ++n) lengths.push_back(n);
  for (std::size_t n = 131074; n <= 131090; ++n) lengths.push_back(n);  // part one's checksum and tag
  for (std::size_t n = 634880; n <= 634896; ++n) lengths.push_back(n);  // the whole container
  return lengths;
}
INSTANTIATE_TEST_SUITE_P(Boundaries, CheckContainerLength, ::testing::ValuesIn(BoundaryLengths()));

TEST_F(CheckContainerTest, LoadContainerImageReadsTheWholeContainerEachTime) {
  const auto first = ContainerWith({'1', '0', 'B'});
  Check(Concat(FakeExecutable(777), first));
  ASSERT_TRUE(LoadContainerImage(info));
  EXPECT_TRUE(std::equal(first.begin(), first.end(), ContainerImage().begin()));

  // A file changed since start-up is read in its new state; the checksums
  // kept at start-up stay as they were.
  const ContainerInfo kept = info;
  const auto second = ContainerWith({'3', '0', 'D'});
  WriteBytes(system.ownPath, Concat(FakeExecutable(10), second));
  ASSERT_TRUE(LoadContainerImage(info));
  EXPECT_TRUE(std::equal(second.begin(), second.end(), ContainerImage().begin()));
  EXPECT_EQ(0, std::memcmp(info.part1Checksum, kept.part1Checksum, 2));
  EXPECT_EQ(0, std::memcmp(info.part2Checksum, kept.part2Checksum, 2));
  EXPECT_NE(0, std::memcmp(&second[0x7AFFE], kept.part1Checksum, 2));
}

TEST_F(CheckContainerTest, LoadContainerImageFailsWithoutAWholeContainer) {
  const auto c = ContainerWith({'1', '0', 'B'});
  Check(c);
  WriteBytes(system.ownPath, std::vector<uint8_t>(c.begin() + 1, c.end()));
  EXPECT_FALSE(LoadContainerImage(info));
  std::filesystem::remove(system.ownPath);
  EXPECT_FALSE(LoadContainerImage(info));
}

}  // namespace
