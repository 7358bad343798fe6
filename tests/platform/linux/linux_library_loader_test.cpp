// The Linux loader's own cases: the dynamic loader's search, symbols of the
// program, unloading.
#include <dlfcn.h>

#include <filesystem>

#include "platform/system_library_loader.h"
#include "tests/platform/library_loader_cases.h"

namespace zx_test {
namespace {

// Nowhere on the dynamic loader's path either.
INSTANTIATE_TEST_SUITE_P(LinuxSearch, NoLibrary,
                         ::testing::Values(std::pair<std::string, std::string>{"missing", kLibraryName}));

TEST(LinuxLibraryLoader, CurrentDirectoryIsNotSearched) {
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(kModules + "/no-send-command");
  platform::SystemLibraryLoader loader;
  platform::LibraryHandle lib = loader.LoadLibrary(kLibraryName);
  std::filesystem::current_path(previous);
  EXPECT_EQ(lib, nullptr);
  if (lib != nullptr) loader.FreeLibrary(lib);
}

// What makes the contract case's lookup of zx_SetEvent a real one.
TEST(LinuxLibraryLoader, TheProgramExportsTheSymbolThatNoLibraryMustNotFind) {
  EXPECT_NE(::dlsym(RTLD_DEFAULT, "zx_SetEvent"), nullptr);
}

TEST(LinuxLibraryLoader, FreeLibraryUnloadsTheModule) {
  const std::string path = kModules + "/no-send-command/" + kLibraryName;
  platform::SystemLibraryLoader loader;
  platform::LibraryHandle lib = loader.LoadLibrary(path);
  ASSERT_NE(lib, nullptr);
  void* probe = ::dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
  ASSERT_NE(probe, nullptr);
  ::dlclose(probe);
  loader.FreeLibrary(lib);
  EXPECT_EQ(::dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD), nullptr);
}

}  // namespace
}  // namespace zx_test
