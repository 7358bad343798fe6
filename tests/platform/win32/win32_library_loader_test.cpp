// The Windows loader's own cases: its separators, what the system's search
// would offer, unloading.
#include <cstdlib>

#include "platform/system_library_loader.h"
#include "platform/win32/windows_api.h"
#include "tests/platform/library_loader_cases.h"

namespace zx_test {
namespace {

INSTANTIATE_TEST_SUITE_P(Win32Separators, BareNameInFolder, ::testing::Values(FolderCase{"good\\", true, true}));

TEST(Win32LibraryLoader, FreeingAPathsLibraryUnloadsIt) {
  const std::string path = kModules + "/no-send-command/" + kLibraryName;
  platform::SystemLibraryLoader loader(kModules + "/no-support-info");
  platform::LibraryHandle lib = loader.LoadLibrary(path);
  ASSERT_NE(lib, nullptr);
  EXPECT_EQ(::GetModuleHandleA(path.c_str()), static_cast<HMODULE>(lib));
  loader.FreeLibrary(lib);
  EXPECT_EQ(::GetModuleHandleA(path.c_str()), nullptr);
}

TEST(Win32LibraryLoader, ABareNameNotInTheFolderIsNeverTakenFromTheCurrentDirectoryOrPath) {
  const std::string planted = kModules + "\\good";
  char previous[MAX_PATH] = {};
  ::GetCurrentDirectoryA(MAX_PATH, previous);
  const char* path = std::getenv("PATH");
  const std::string oldPath = path != nullptr ? path : "";
  ASSERT_TRUE(::SetCurrentDirectoryA(planted.c_str()));
  ::SetEnvironmentVariableA("PATH", (planted + ";" + oldPath).c_str());
  platform::SystemLibraryLoader loader(kModules + "/missing");
  platform::LibraryHandle lib = loader.LoadLibrary(kLibraryName);
  char file[MAX_PATH] = {};
  if (lib != nullptr) ::GetModuleFileNameA(static_cast<HMODULE>(lib), file, MAX_PATH);
  ::SetCurrentDirectoryA(previous);
  ::SetEnvironmentVariableA("PATH", oldPath.c_str());
  loader.FreeLibrary(lib);
  EXPECT_EQ(std::string(file).find("good"), std::string::npos) << "loaded the planted " << file;
}

}  // namespace
}  // namespace zx_test
