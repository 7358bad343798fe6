#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <ostream>
#include <string>

#include "platform/linux/dl_library_loader.h"

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

class BareNameInFolder : public ::testing::TestWithParam<FolderCase> {};

TEST_P(BareNameInFolder, LoadsThatFoldersFileAndOnlyItsEntryPoints) {
  platform::DlLibraryLoader loader(kModules + "/" + GetParam().folder);
  platform::LibraryHandle lib = loader.LoadLibrary(kName);
  ASSERT_NE(lib, nullptr);
  void* info = loader.GetProcAddress(lib, "GetASPI32SupportInfo");
  void* send = loader.GetProcAddress(lib, "SendASPI32Command");
  EXPECT_EQ(info != nullptr, GetParam().hasSupportInfo);
  EXPECT_EQ(send != nullptr, GetParam().hasSendCommand);
  if (info != nullptr) {
    EXPECT_EQ(reinterpret_cast<InfoFn>(info)(), 0x0101u);
  }
  loader.FreeLibrary(lib);
}

INSTANTIATE_TEST_SUITE_P(Variants, BareNameInFolder,
                         ::testing::Values(FolderCase{"no-send-command", true, false},
                                           FolderCase{"no-send-command/", true, false},
                                           FolderCase{"no-support-info", false, true}));

TEST(DlLibraryLoader, PathWithSlashIsOpenedAsItIsWhateverTheFolder) {
  platform::DlLibraryLoader loader(kModules + "/no-support-info");
  platform::LibraryHandle lib = loader.LoadLibrary(kModules + "/no-send-command/" + kName);
  ASSERT_NE(lib, nullptr);
  EXPECT_NE(loader.GetProcAddress(lib, "GetASPI32SupportInfo"), nullptr);
  loader.FreeLibrary(lib);
}

TEST(DlLibraryLoader, NameFoundNowhereGivesNoLibrary) {
  platform::DlLibraryLoader loader(kModules + "/missing");
  EXPECT_EQ(loader.LoadLibrary(kName), nullptr);
  EXPECT_EQ(loader.LoadLibrary(""), nullptr);
}

TEST(DlLibraryLoader, CurrentDirectoryIsNotSearched) {
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(kModules + "/no-send-command");
  platform::DlLibraryLoader loader;
  platform::LibraryHandle lib = loader.LoadLibrary(kName);
  std::filesystem::current_path(previous);
  EXPECT_EQ(lib, nullptr);
  if (lib != nullptr) loader.FreeLibrary(lib);
}

TEST(DlLibraryLoader, FileWhoseSymbolsCannotAllBeResolvedIsRefusedAtLoad) {
  platform::DlLibraryLoader loader(kModules + "/unresolved");
  EXPECT_EQ(loader.LoadLibrary(kName), nullptr);
}

TEST(DlLibraryLoader, NoLibraryMeansNoEntryPointEvenForSymbolsOfTheProgram) {
  // The test program exports this symbol; a lookup without a library must
  // not find it in the process's global scope.
  ASSERT_NE(::dlsym(RTLD_DEFAULT, "zx_SetEvent"), nullptr);
  platform::DlLibraryLoader loader;
  EXPECT_EQ(loader.GetProcAddress(nullptr, "zx_SetEvent"), nullptr);
  loader.FreeLibrary(nullptr);
}

TEST(DlLibraryLoader, FreeLibraryUnloadsTheModule) {
  const std::string path = kModules + "/no-send-command/" + kName;
  platform::DlLibraryLoader loader;
  platform::LibraryHandle lib = loader.LoadLibrary(path);
  ASSERT_NE(lib, nullptr);
  void* probe = ::dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
  ASSERT_NE(probe, nullptr);
  ::dlclose(probe);
  loader.FreeLibrary(lib);
  EXPECT_EQ(::dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD), nullptr);
}

}  // namespace
