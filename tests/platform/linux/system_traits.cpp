#include "tests/platform/system_traits.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zx_test {

bool MakeFifo(const std::string& path) {
  EXPECT_EQ(::mkfifo(path.c_str(), 0600), 0) << path;
  return true;
}

bool MakeFileLink(const std::string& target, const std::string& link) {
  EXPECT_EQ(::symlink(target.c_str(), link.c_str()), 0) << link;
  return true;
}

const int LATE_MODULE_SIGNAL_RESULT = 0;

}  // namespace zx_test
