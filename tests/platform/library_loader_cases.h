// The library loader's contract cases (tests/platform/library_loader_test.cpp),
// which each system's tests extend with cases of its own.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <utility>

#ifndef ZX_ASPI_MODULES_DIR
#error "ZX_ASPI_MODULES_DIR must name the folder of the loadable test modules"
#endif

namespace zx_test {

inline const std::string kModules = ZX_ASPI_MODULES_DIR;
inline const std::string kLibraryName = "wnaspi32.dll";

struct FolderCase {
  std::string folder;
  bool hasSupportInfo;
  bool hasSendCommand;
};

inline void PrintTo(const FolderCase& c, std::ostream* os) { *os << c.folder; }

// A bare name in the loader's folder (the case's); the library's entry points.
class BareNameInFolder : public ::testing::TestWithParam<FolderCase> {};

// {the loader's folder, the name}: nothing to load.
class NoLibrary : public ::testing::TestWithParam<std::pair<std::string, std::string>> {};

}  // namespace zx_test
