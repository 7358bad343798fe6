// The trace's line file: lines reach the file as they are written, and a
// path that names anything but a regular file is refused before it is
// opened (so a FIFO cannot hold the program and a device never gets lines).
#include "platform/line_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/platform/system_traits.h"

namespace {

namespace fs = std::filesystem;

enum class Kind { NewFile, OldFile, LinkToFile, Folder, Fifo };

class LineFileTarget : public ::testing::TestWithParam<Kind> {};

TEST_P(LineFileTarget, WritesOnlyRegularFiles) {
  const fs::path dir = fs::temp_directory_path() /
                       ("zx-line-file-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                        std::to_string(static_cast<int>(GetParam())));
  fs::remove_all(dir);
  fs::create_directories(dir);
  const std::string path = (dir / "trace").string();
  switch (GetParam()) {
    case Kind::OldFile:
      std::ofstream(path) << "an old line that goes\n";
      break;
    case Kind::Folder:
      fs::create_directory(path);
      break;
    case Kind::LinkToFile:  // the link is followed, as when the file is opened
      std::ofstream(path + ".real") << "an old line that goes\n";
      if (!zx_test::MakeFileLink(path + ".real", path)) GTEST_SKIP() << "no symbolic links here";
      break;
    case Kind::Fifo:
      if (!zx_test::MakeFifo(path)) GTEST_SKIP() << "no FIFO here";
      break;
    case Kind::NewFile:
      break;
  }
  const bool regular = GetParam() != Kind::Folder && GetParam() != Kind::Fifo;
  platform::LineFile file;
  std::string error;
  EXPECT_EQ(file.Open(path, error), regular) << error;
  if (regular) {
    EXPECT_TRUE(file.WriteLine("{\"a\":1}", error)) << error;
    std::ostringstream text;
    text << std::ifstream(path).rdbuf();
    EXPECT_EQ(text.str(), "{\"a\":1}\n");  // on the disk before the file closes
  } else {
    EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;
    EXPECT_FALSE(file.WriteLine("x", error));
  }
  file.Close();
  fs::remove_all(dir);
}

INSTANTIATE_TEST_SUITE_P(Kinds, LineFileTarget,
                         ::testing::Values(Kind::NewFile, Kind::OldFile, Kind::LinkToFile, Kind::Folder,
                                           Kind::Fifo));

}  // namespace
