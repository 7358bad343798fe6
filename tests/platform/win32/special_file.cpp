#include "tests/platform/special_file.h"

namespace zx_test {

// Windows' named pipes live in their own namespace (\\.\pipe\), never at a
// path of the file system.
bool MakeFifo(const std::string& path) {
  (void)path;
  return false;
}

}  // namespace zx_test
