// Reads counted back from a file's end stay inside the file.
#include "firmware/container_file.h"

#include <gtest/gtest.h>

#include "tests/firmware/container_test_files.h"

namespace {

using container_test::FakeExecutable;
using container_test::ScratchDir;
using container_test::WriteBytes;

struct ReadCase {
  std::size_t fromEnd, length;
  bool inside;
};
void PrintTo(const ReadCase& c, std::ostream* os) {
  *os << "fromEnd " << c.fromEnd << " length " << c.length;
}

class ContainerFileRead : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ContainerFileRead, ReadsOnlyWhatLiesInsideTheFile) {
  ScratchDir dir;
  const auto bytes = FakeExecutable(10);
  WriteBytes(dir.File("f"), bytes);
  ContainerFile file(dir.File("f"));
  ASSERT_TRUE(file.IsOpen());
  EXPECT_EQ(file.Size(), 10u);

  std::vector<uint8_t> out(GetParam().length, 0xAA);
  EXPECT_EQ(file.ReadFromEnd(GetParam().fromEnd, out), GetParam().inside);
  if (GetParam().inside) {
    const auto from = bytes.end() - static_cast<std::ptrdiff_t>(GetParam().fromEnd);
    EXPECT_TRUE(std::equal(out.begin(), out.end(), from));
  }
}
INSTANTIATE_TEST_SUITE_P(Ranges, ContainerFileRead,
                         ::testing::Values(ReadCase{10, 10, true}, ReadCase{10, 3, true},
                                           ReadCase{1, 1, true}, ReadCase{4, 4, true}, ReadCase{11, 1, false},
                                           ReadCase{11, 11, false}, ReadCase{3, 4, false},
                                           ReadCase{0, 1, false}, ReadCase{SIZE_MAX, 2, false}));

TEST(ContainerFile, AFileThatShrankSinceOpeningFailsTheRead) {
  ScratchDir dir;
  WriteBytes(dir.File("f"), FakeExecutable(100));
  ContainerFile file(dir.File("f"));
  std::filesystem::resize_file(dir.File("f"), 40);
  std::vector<uint8_t> out(50);
  EXPECT_FALSE(file.ReadFromEnd(100, out));
  EXPECT_TRUE(file.ReadFromEnd(100, std::span(out).first(40)));
}

}  // namespace
