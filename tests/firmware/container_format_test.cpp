// The container's layout, checksum rule and acceptance rule, checked against
// literal positions and an independently written checksum.
#include "firmware/container_format.h"

#include <gtest/gtest.h>

#include "tests/firmware/container_test_files.h"

namespace {

using container_test::Concat;
using container_test::FakeExecutable;
using container_test::IndependentChecksum;

constexpr VersionChars V10B = {'1', '0', 'B'};

std::vector<uint8_t> Bytes(const std::vector<uint8_t>& v, std::size_t at, std::size_t n) {
  return {v.begin() + static_cast<std::ptrdiff_t>(at), v.begin() + static_cast<std::ptrdiff_t>(at + n)};
}

TEST(ContainerChecksum, SumsBigEndianWordsModulo65536) {
  const std::vector<uint8_t> example = {0x12, 0x34, 0x56, 0x78};
  EXPECT_EQ(PartChecksum(example), 0x68AC);
  const std::vector<uint8_t> wraps = {0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x03};
  EXPECT_EQ(PartChecksum(wraps), 0x0001);
  EXPECT_EQ(StoredChecksum(0x68AC), (ChecksumBytes{0x68, 0xAC}));
}

TEST(ContainerBuild, PlacesEveryFieldAtItsOffset) {
  auto part1 = SyntheticPartData(1, V10B);
  auto part2 = SyntheticPartData(2, {'7', '0', 'Z'});
  part1[0] = 0xEE;
  const auto c = BuildContainer(part1, part2);
  ASSERT_EQ(c.size(), 634888u);
  EXPECT_EQ(Bytes(c, 0, 503806), part1);
  EXPECT_EQ(Bytes(c, 0x7AFFE, 2), IndependentChecksum(part1, 0, part1.size()));
  EXPECT_EQ(Bytes(c, 0x7B000, 4), (std::vector<uint8_t>{'R', '5', '8', '0'}));
  EXPECT_EQ(Bytes(c, 0x7B004, 131070), part2);
  EXPECT_EQ(Bytes(c, 0x9B002, 2), IndependentChecksum(part2, 0, part2.size()));
  EXPECT_EQ(Bytes(c, 0x9B004, 4), (std::vector<uint8_t>{'R', '5', '8', '0'}));
}

struct PartSizes {
  std::size_t part1, part2;
};
class ContainerBuildSizes : public ::testing::TestWithParam<PartSizes> {};

TEST_P(ContainerBuildSizes, RefusesAnyPartOfTheWrongSize) {
  const std::vector<uint8_t> p1(GetParam().part1, 0x11), p2(GetParam().part2, 0x22);
  EXPECT_TRUE(BuildContainer(p1, p2).empty());
}
INSTANTIATE_TEST_SUITE_P(OffByOne, ContainerBuildSizes,
                         ::testing::Values(PartSizes{503805, 131070}, PartSizes{503807, 131070},
                                           PartSizes{503806, 131069}, PartSizes{503806, 131071},
                                           PartSizes{131070, 503806}, PartSizes{0, 0}));

TEST(ContainerParse, FindsTheFieldsAtTheEndBehindAnyPrefix) {
  auto part1 = SyntheticPartData(1, {'3', '0', 'C'});
  auto part2 = SyntheticPartData(2, {'4', '5', 'D'});
  const auto file = Concat(FakeExecutable(12345), BuildContainer(part1, part2));
  const auto fields = ParseContainer(file);
  ASSERT_TRUE(fields.has_value());
  EXPECT_EQ(fields->part1Version, (VersionChars{'3', '0', 'C'}));
  EXPECT_EQ(fields->part2Version, (VersionChars{'4', '5', 'D'}));
  EXPECT_EQ(std::vector<uint8_t>(fields->part1Checksum.begin(), fields->part1Checksum.end()),
            IndependentChecksum(part1, 0, part1.size()));
  EXPECT_EQ(std::vector<uint8_t>(fields->part2Checksum.begin(), fields->part2Checksum.end()),
            IndependentChecksum(part2, 0, part2.size()));
  EXPECT_EQ(fields->part1Tag, FAMILY_TAG);
  EXPECT_EQ(fields->part2Tag, FAMILY_TAG);
}

struct JudgeCase {
  FamilyTag tag;
  VersionChars version;
  Verdict expected;
};
class ContainerJudge : public ::testing::TestWithParam<JudgeCase> {};

TEST_P(ContainerJudge, AppliesTheTagThenTheSecondVersionCharacter) {
  ContainerFields fields;
  fields.part1Tag = GetParam().tag;
  fields.part1Version = GetParam().version;
  fields.part2Tag = {'X', 'X', 'X', 'X'};  // never examined
  EXPECT_EQ(Judge(fields), GetParam().expected);
}
INSTANTIATE_TEST_SUITE_P(
    Rules, ContainerJudge,
    ::testing::Values(JudgeCase{{'R', '5', '8', '0'}, {'1', '0', 'B'}, Verdict::Accepted},
                      JudgeCase{{'R', '5', '8', '0'}, {0x00, '0', 0xFF}, Verdict::Accepted},
                      JudgeCase{{'R', '5', '8', '0'}, {'1', '1', 'A'}, Verdict::WrongVersion},
                      JudgeCase{{'R', '5', '8', '0'}, {'1', 'O', 'A'}, Verdict::WrongVersion},
                      JudgeCase{{'R', '5', '8', '0'}, {'1', 0x00, 'A'}, Verdict::WrongVersion},
                      JudgeCase{{'r', '5', '8', '0'}, {'1', '0', 'B'}, Verdict::WrongTag},
                      JudgeCase{{'R', '6', '8', '0'}, {'1', '0', 'B'}, Verdict::WrongTag},
                      JudgeCase{{'R', '5', '9', '0'}, {'1', '0', 'B'}, Verdict::WrongTag},
                      JudgeCase{{'R', '5', '8', '1'}, {'1', '0', 'B'}, Verdict::WrongTag},
                      JudgeCase{{'R', '5', '8', 0x00}, {'1', '0', 'B'}, Verdict::WrongTag},
                      JudgeCase{{'R', '5', '8', '1'}, {'1', '1', 'A'}, Verdict::WrongTag}));

TEST(ContainerSynthetic, IsDeterministicAndSelfConsistent) {
  const auto a = SyntheticContainer(V10B);
  EXPECT_EQ(a, SyntheticContainer(V10B));
  EXPECT_NE(a, SyntheticContainer({'2', '0', 'B'}));
  const auto fields = ParseContainer(a);
  ASSERT_TRUE(fields.has_value());
  EXPECT_EQ(Judge(*fields), Verdict::Accepted);
  EXPECT_EQ(CarriedVersion(fields->part1Version), "1.0B");
  EXPECT_EQ(fields->part2Version, V10B);
  EXPECT_EQ(Bytes(a, 0x7AFFE, 2), IndependentChecksum(a, 0, 503806));
  EXPECT_EQ(Bytes(a, 0x9B002, 2), IndependentChecksum(a, 0x7B004, 131070));
  // The two parts are not copies of one another.
  EXPECT_NE(Bytes(a, 8, 64), Bytes(a, 0x7B004 + 8, 64));
}

}  // namespace
