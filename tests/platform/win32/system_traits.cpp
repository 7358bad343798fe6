#include "tests/platform/system_traits.h"

namespace zx_test {

// Windows' named pipes live in their own namespace (\\.\pipe\), never at a
// path of the file system.
bool MakeFifo(const std::string& path) {
  (void)path;
  return false;
}

bool MakeFileLink(const std::string& target, const std::string& link) {
  (void)target;
  (void)link;
  return false;
}

const int LATE_MODULE_SIGNAL_RESULT = 1;

}  // namespace zx_test
