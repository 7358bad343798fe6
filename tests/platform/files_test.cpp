// The file services every system offers alike: what is at a path, the
// read-only file, writing a file whole, renaming over, syncing, removing.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <string>

#include "platform/file_sync.h"
#include "platform/path_ops.h"
#include "platform/read_only_file.h"
#include "tests/platform/system_traits.h"

namespace {

namespace fs = std::filesystem;
using platform::PathKind;

std::string FreshFolder(const std::string& name) {
  const fs::path dir = fs::temp_directory_path() /
                       ("zx-files-" + name + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir.string();
}

class PathOfKind : public ::testing::TestWithParam<PathKind> {};

// Only a regular file opens, whatever else is at the path, and no kind
// holds the open up (a FIFO without a writer included).
TEST_P(PathOfKind, IsToldApartAndOnlyARegularFileOpensForReading) {
  const std::string dir = FreshFolder(std::to_string(static_cast<int>(GetParam())));
  const std::string path = platform::JoinPath(dir, "thing");
  std::string error;
  if (GetParam() == PathKind::Regular) {
    ASSERT_TRUE(platform::WriteWholeFile(path, "abcdef", error)) << error;
  }
  if (GetParam() == PathKind::Folder) fs::create_directory(path);
  if (GetParam() == PathKind::Fifo && !zx_test::MakeFifo(path)) GTEST_SKIP() << "no FIFO here";
  EXPECT_EQ(platform::KindOf(path), GetParam());
  EXPECT_EQ(platform::PathExists(path), GetParam() != PathKind::Missing);
  EXPECT_EQ(platform::IsFolder(path), GetParam() == PathKind::Folder);
  {
    // Closed before the clean-up: Windows removes no open file.
    platform::ReadOnlyFile file(path);
    ASSERT_EQ(file.IsOpen(), GetParam() == PathKind::Regular);
    std::array<uint8_t, 3> bytes{};
    EXPECT_EQ(file.ReadAt(2, bytes), file.IsOpen());
    if (file.IsOpen()) {
      EXPECT_EQ(file.Size(), 6u);
      EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "cde");
      EXPECT_FALSE(file.ReadAt(4, bytes));  // the file ends first
      EXPECT_EQ(file.Permissions().has_value(), platform::PermissionBitsExist());
    }
  }
  fs::remove_all(dir);
}

INSTANTIATE_TEST_SUITE_P(Kinds, PathOfKind,
                         ::testing::Values(PathKind::Missing, PathKind::Regular, PathKind::Folder, PathKind::Fifo));

TEST(FileWriting, ANewFileReplacesTheOldOneAndBothReachTheDevice) {
  const std::string dir = FreshFolder("write");
  const std::string fresh = platform::JoinPath(dir, "fresh");
  const std::string old = platform::JoinPath(dir, "old");
  std::string error;
  ASSERT_TRUE(platform::WriteWholeFile(old, "old and longer", error)) << error;
  ASSERT_TRUE(platform::WriteWholeFile(fresh, "new", error)) << error;
  EXPECT_TRUE(platform::SyncFileData(fresh, error)) << error;
  ASSERT_TRUE(platform::RenameOver(fresh, old, error)) << error;
  EXPECT_TRUE(platform::SyncFolderOf(old, error)) << error;
  EXPECT_FALSE(platform::PathExists(fresh));
  {
    platform::ReadOnlyFile file(old);  // closed before the removal: Windows removes no open file
    std::array<uint8_t, 3> bytes{};
    ASSERT_TRUE(file.ReadAt(0, bytes));
    EXPECT_EQ(file.Size(), 3u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "new");
  }
  EXPECT_TRUE(platform::SameFile(old, platform::JoinPath(platform::JoinPath(dir, "."), "old")));
  EXPECT_FALSE(platform::SameFile(old, fresh));
  EXPECT_TRUE(platform::RemoveFile(old));
  EXPECT_EQ(platform::KindOf(old), PathKind::Missing);
  error.clear();
  EXPECT_FALSE(platform::SyncFileData(old, error));
  EXPECT_FALSE(error.empty());
  fs::remove_all(dir);
}

}  // namespace
