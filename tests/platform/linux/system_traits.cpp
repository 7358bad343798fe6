#include "tests/platform/system_traits.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace zx_test {

bool MakeFifo(const std::string& path) {
  EXPECT_EQ(::mkfifo(path.c_str(), 0600), 0) << path;
  return true;
}

const int LATE_MODULE_SIGNAL_RESULT = 0;

}  // namespace zx_test
