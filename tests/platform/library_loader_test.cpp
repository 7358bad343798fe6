// What every system's library loader does alike; each system's own cases
// (what its native search leaves out, unloading) sit in its folder.
#include "platform/system_library_loader.h"

#include "tests/platform/library_loader_cases.h"

namespace zx_test {
namespace {

using InfoFn = uint32_t (*)();

// Twice in a row: the second load must find a library that the first
// unload left in order (the good one stops its engine while unloading).
TEST_P(BareNameInFolder, LoadsThatFoldersFileAndOnlyItsEntryPointsAgainAfterFreeing) {
  platform::SystemLibraryLoader loader(kModules + "/" + GetParam().folder);
  for (int round = 0; round < 2; ++round) {
    platform::LibraryHandle lib = loader.LoadLibrary(kLibraryName);
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

INSTANTIATE_TEST_SUITE_P(Variants, BareNameInFolder,
                         ::testing::Values(FolderCase{"good", true, true},
                                           FolderCase{"no-send-command", true, false},
                                           FolderCase{"no-send-command/", true, false},
                                           FolderCase{"no-support-info", false, true}));

TEST_P(NoLibrary, GivesNoHandle) {
  platform::SystemLibraryLoader loader(kModules + "/" + GetParam().first);
  EXPECT_EQ(loader.LoadLibrary(GetParam().second), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Cases, NoLibrary,
                         ::testing::Values(std::pair<std::string, std::string>{"missing",
                                                                               "zx_no_such_library.dll"},
                                           std::pair<std::string, std::string>{"missing", ""},
                                           // Needs a symbol that nothing provides.
                                           std::pair<std::string, std::string>{"unresolved", kLibraryName}));

TEST(LibraryLoader, PathIsLoadedAsItIsWhateverTheFolder) {
  platform::SystemLibraryLoader loader(kModules + "/no-support-info");
  platform::LibraryHandle lib = loader.LoadLibrary(kModules + "/no-send-command/" + kLibraryName);
  ASSERT_NE(lib, nullptr);
  EXPECT_NE(loader.GetProcAddress(lib, "GetASPI32SupportInfo"), nullptr);
  loader.FreeLibrary(lib);
}

// The test program exports zx_SetEvent (on Linux) and has the modules'
// entry point names nowhere: a lookup without a library finds neither.
TEST(LibraryLoader, NoLibraryMeansNoEntryPointEvenForSymbolsOfTheProgram) {
  platform::SystemLibraryLoader loader;
  EXPECT_EQ(loader.GetProcAddress(nullptr, "zx_SetEvent"), nullptr);
  EXPECT_EQ(loader.GetProcAddress(nullptr, "GetASPI32SupportInfo"), nullptr);
  loader.FreeLibrary(nullptr);
}

}  // namespace
}  // namespace zx_test
