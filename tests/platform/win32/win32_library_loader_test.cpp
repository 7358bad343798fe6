#include "platform/win32/win32_library_loader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <ostream>
#include <string>

#include "platform/win32/windows_api.h"

#ifndef ZX_ASPI_MODULES_DIR
#error "ZX_ASPI_MODULES_DIR must name the folder of the loadable test modules"
#endif

namespace {

const std::string kModules = ZX_ASPI_MODULES_DIR;
const std::string kName = "wnaspi32.dll";

using InfoFn = uint32_t (*)();

struct FolderCase {
  std::string folder;
  bool hasSupportInfo;
  bool hasSendCommand;
};

void PrintTo(const FolderCase& c, std::ostream* os) { *os << c.folder; }

class Win32BareNameInFolder : public ::testing::TestWithParam<FolderCase> {};

// Twice in a row: the second load must find a library that the first
// unload left in order (the good one stops its engine while unloading).
TEST_P(Win32BareNameInFolder, LoadsThatFoldersFileAndOnlyItsEntryPointsAgainAfterFreeing) {
  platform::Win32LibraryLoader loader(kModules + "/" + GetParam().folder);
  for (int round = 0; round < 2; ++round) {
    platform::LibraryHandle lib = loader.LoadLibrary(kName);
    ASSERT_NE(lib, nullptr) << "round " << round;
    void* info = loader.GetProcAddress(lib, "GetASPI32SupportInfo");
    void* send = loader.GetProcAddress(lib, "SendASPI32Command");
    EXPECT_EQ(info != nullptr, GetParam().hasSupportInfo);
    EXPECT_EQ(send != nullptr, GetParam().hasSendCommand);
    if (info != nullptr) {
      EXPECT_EQ(reinterpret_cast<InfoFn>(info)(), 0x0101u);
    }
    loader.FreeLibrary(lib);
  }
}

INSTANTIATE_TEST_SUITE_P(Variants, Win32BareNameInFolder,
                         ::testing::Values(FolderCase{"good", true, true}, FolderCase{"good\\", true, true},
                                           FolderCase{"no-send-command", true, false},
                                           FolderCase{"no-send-command/", true, false},
                                           FolderCase{"no-support-info", false, true}));

class Win32NoLibrary : public ::testing::TestWithParam<std::pair<std::string, std::string>> {};

TEST_P(Win32NoLibrary, GivesNoHandle) {
  platform::Win32LibraryLoader loader(kModules + "/" + GetParam().first);
  EXPECT_EQ(loader.LoadLibrary(GetParam().second), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Cases, Win32NoLibrary,
                         ::testing::Values(std::pair<std::string, std::string>{"missing",
                                                                               "zx_no_such_library.dll"},
                                           std::pair<std::string, std::string>{"missing", ""},
                                           // Its import from zx_nowhere.dll cannot be resolved.
                                           std::pair<std::string, std::string>{"unresolved", kName}));

TEST(Win32LibraryLoader, PathIsLoadedAsItIsWhateverTheFolderAndFreeingUnloadsIt) {
  const std::string path = kModules + "/no-send-command/" + kName;
  platform::Win32LibraryLoader loader(kModules + "/no-support-info");
  platform::LibraryHandle lib = loader.LoadLibrary(path);
  ASSERT_NE(lib, nullptr);
  EXPECT_NE(loader.GetProcAddress(lib, "GetASPI32SupportInfo"), nullptr);
  EXPECT_EQ(::GetModuleHandleA(path.c_str()), static_cast<HMODULE>(lib));
  loader.FreeLibrary(lib);
  EXPECT_EQ(::GetModuleHandleA(path.c_str()), nullptr);
  EXPECT_EQ(loader.GetProcAddress(nullptr, "GetASPI32SupportInfo"), nullptr);
}

TEST(Win32LibraryLoader, ABareNameNotInTheFolderIsNeverTakenFromTheCurrentDirectoryOrPath) {
  const std::string planted = kModules + "\\good";
  char previous[MAX_PATH] = {};
  ::GetCurrentDirectoryA(MAX_PATH, previous);
  const char* path = std::getenv("PATH");
  const std::string oldPath = path != nullptr ? path : "";
  ASSERT_TRUE(::SetCurrentDirectoryA(planted.c_str()));
  ::SetEnvironmentVariableA("PATH", (planted + ";" + oldPath).c_str());
  platform::Win32LibraryLoader loader(kModules + "/missing");
  platform::LibraryHandle lib = loader.LoadLibrary(kName);
  char file[MAX_PATH] = {};
  if (lib != nullptr) ::GetModuleFileNameA(static_cast<HMODULE>(lib), file, MAX_PATH);
  ::SetCurrentDirectoryA(previous);
  ::SetEnvironmentVariableA("PATH", oldPath.c_str());
  loader.FreeLibrary(lib);
  EXPECT_EQ(std::string(file).find("good"), std::string::npos) << "loaded the planted " << file;
}

}  // namespace
