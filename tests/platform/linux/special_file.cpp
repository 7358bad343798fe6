#include "tests/platform/special_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace zx_test {

bool MakeFifo(const std::string& path) {
  EXPECT_EQ(::mkfifo(path.c_str(), 0600), 0) << path;
  return true;
}

}  // namespace zx_test
