// Files that are neither regular files nor folders, made the way each
// system can (tests/platform/<system>/special_file.cpp).
// Threads: any.
#pragma once

#include <string>

namespace zx_test {

// A FIFO at `path` (a failure to make one fails the test); false where
// the system's file system has none.
bool MakeFifo(const std::string& path);

}  // namespace zx_test
