// A file swapped for a FIFO under the reader, which only POSIX systems allow.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "firmware/container_file.h"
#include "tests/firmware/container_test_files.h"

namespace {

using container_test::FakeExecutable;
using container_test::ScratchDir;
using container_test::WriteBytes;

// One open file for the check and the reads: a FIFO put in its place never blocks.
TEST(ContainerFile, ReadsTheFileItOpenedAndNeverWaitsOnAFifo) {
  ScratchDir dir;
  const auto bytes = FakeExecutable(20);
  WriteBytes(dir.File("f"), bytes);
  ContainerFile file(dir.File("f"));
  std::filesystem::remove(dir.File("f"));
  ASSERT_EQ(::mkfifo(dir.File("f").c_str(), 0600), 0);
  std::vector<uint8_t> out(20);
  ASSERT_TRUE(file.ReadFromEnd(20, out));
  EXPECT_EQ(out, bytes);
  EXPECT_FALSE(ContainerFile(dir.File("f")).IsOpen());
}

}  // namespace
