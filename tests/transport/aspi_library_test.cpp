// Loading, the fatal ends and unloading of the ASPI driver library, first
// over a library loader that hands out local functions, then over the real
// loader and the loadable test libraries.
#include "transport/aspi_library.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>

#include "platform/dynamic_library.h"
#include "tests/support/fakes.h"
#include "tests/support/test_os.h"
#include "transport/execute.h"

#ifndef ZX_ASPI_MODULES_DIR
#error "ZX_ASPI_MODULES_DIR must name the folder of the loadable test libraries"
#endif

namespace {

const std::string kModules = ZX_ASPI_MODULES_DIR;

std::atomic<int> infoCalls{0};
std::atomic<int> sendCalls{0};

uint32_t FakeSupportInfo() {
  infoCalls++;
  return 0x0101;
}

uint32_t FakeSend(void* srb) {
  sendCalls++;
  static_cast<SRB_Header*>(srb)->SRB_Status = SS_COMP;
  return SS_COMP;
}

// Hands out the two functions above as a library's entry points and records
// what it was asked for.
class FakeLibraries final : public platform::LibraryLoader {
 public:
  std::vector<std::string> loads;
  std::vector<std::string> lookups;
  std::vector<platform::LibraryHandle> frees;
  platform::LibraryHandle handle = reinterpret_cast<platform::LibraryHandle>(0x5A5A);

  platform::LibraryHandle LoadLibrary(const std::string& name) override {
    loads.push_back(name);
    return handle;
  }
  void* GetProcAddress(platform::LibraryHandle lib, const char* name) override {
    lookups.push_back(name);
    if (lib != handle) return nullptr;
    if (std::string(name) == "GetASPI32SupportInfo") return reinterpret_cast<void*>(&FakeSupportInfo);
    if (std::string(name) == "SendASPI32Command") return reinterpret_cast<void*>(&FakeSend);
    return nullptr;
  }
  void FreeLibrary(platform::LibraryHandle lib) override { frees.push_back(lib); }
};

class AspiLibraryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    infoCalls = 0;
    sendCalls = 0;
  }
  fakes::RecordingDialogs dialogs;
  FakeLibraries libraries;
  AspiEntryPoints aspi;
  AspiLibrary library{libraries, dialogs, aspi};
};

TEST_F(AspiLibraryTest, LoadsTheLibraryByNameAndInstallsBothEntryPoints) {
  LoadAspiLibrary(library);
  EXPECT_EQ(libraries.loads, std::vector<std::string>{"wnaspi32.dll"});
  EXPECT_EQ(libraries.lookups, (std::vector<std::string>{"GetASPI32SupportInfo", "SendASPI32Command"}));
  EXPECT_EQ(library.handle, libraries.handle);
  EXPECT_EQ(aspi.GetASPI32SupportInfo.load(), &FakeSupportInfo);
  EXPECT_EQ(aspi.SendASPI32Command.load(), &FakeSend);
  EXPECT_EQ(dialogs.Boxes().size(), 0u);
  EXPECT_EQ(dialogs.Beeps(), 0);
}

TEST_F(AspiLibraryTest, UnloadingTwiceFreesOnceAndEmptiesHandleAndEntryPoints) {
  LoadAspiLibrary(library);
  UnloadAspiLibrary(library);
  UnloadAspiLibrary(library);
  EXPECT_EQ(libraries.frees, std::vector<platform::LibraryHandle>{libraries.handle});
  EXPECT_EQ(library.handle, nullptr);
  EXPECT_EQ(aspi.GetASPI32SupportInfo.load(), nullptr);
  EXPECT_EQ(aspi.SendASPI32Command.load(), nullptr);
}

TEST_F(AspiLibraryTest, NoCommandReachesTheLibraryAfterUnloading) {
  LoadAspiLibrary(library);
  static SRB_ExecSCSICmd block;
  ExecRequest inquiry;
  inquiry.flags = SRB_EVENT_NOTIFY | SRB_DIR_IN;
  inquiry.cdbLen = 6;
  inquiry.cdb = {0x12};
  ASSERT_EQ(ExecuteScsiCommand(aspi, SystemEvents(), block, inquiry, 100), ExecResult::Completed);
  ASSERT_EQ(sendCalls.load(), 1);

  UnloadAspiLibrary(library);
  const std::size_t openEvents = SystemEvents().OpenCount();
  EXPECT_EQ(ExecuteScsiCommand(aspi, SystemEvents(), block, inquiry, 100), ExecResult::NotCompleted);
  EXPECT_EQ(sendCalls.load(), 1);
  EXPECT_NE(block.SRB_Status, SS_COMP);
  EXPECT_EQ(SystemEvents().OpenCount(), openEvents);
}

TEST_F(AspiLibraryTest, UnloadingWithoutALibraryLeavesTheSimulatorsEntryPointsAlone) {
  aspi.GetASPI32SupportInfo.store(&FakeSupportInfo);
  aspi.SendASPI32Command.store(&FakeSend);
  UnloadAspiLibrary(library);
  EXPECT_TRUE(libraries.frees.empty());
  EXPECT_EQ(aspi.GetASPI32SupportInfo.load(), &FakeSupportInfo);
  EXPECT_EQ(aspi.SendASPI32Command.load(), &FakeSend);
}

// Records like RecordingDialogs and, at the error box, reports on stderr what
// the child process showed so far, since the process ends right after.
class ReportingDialogs final : public platform::Dialogs {
 public:
  void ShowMessage(std::string_view text) override { recorded.ShowMessage(text); }
  void Beep() override { recorded.Beep(); }
  void ShowFatalError(std::string_view text, std::string_view caption) override {
    const int beepsBefore = recorded.Beeps();
    recorded.ShowFatalError(text, caption);
    const auto boxes = recorded.Boxes();
    std::fprintf(stderr, "beeps-before-box=%d boxes=%zu text=[%s] caption=[%s] fatal=%d\n", beepsBefore,
                 boxes.size(), boxes.back().text.c_str(), boxes.back().caption.c_str(),
                 boxes.back().fatal ? 1 : 0);
  }
  fakes::RecordingDialogs recorded;
};

struct FatalCase {
  std::string folder;
  std::string text;
};

void PrintTo(const FatalCase& c, std::ostream* os) { *os << c.folder; }

class AspiLibraryFatal : public ::testing::TestWithParam<FatalCase> {
 protected:
  void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

// Runs in the child: a return from loading would end with exit code 3.
void LoadFrom(const std::string& folder) {
  const auto loader = platform::MakeSystemLibraryLoader(kModules + "/" + folder);
  platform::LibraryLoader& libraries = *loader;
  ReportingDialogs dialogs;
  AspiEntryPoints aspi;
  AspiLibrary library{libraries, dialogs, aspi};
  LoadAspiLibrary(library);
  std::fprintf(stderr, "loading returned\n");
  std::_Exit(3);
}

TEST_P(AspiLibraryFatal, BeepsShowsTheErrorBoxAndEndsTheProcessWithExitCodeZero) {
  const std::string expected =
      "beeps-before-box=1 boxes=1 text=\\[" + GetParam().text + "\\] caption=\\[ASPI32 error\\] fatal=1\n$";
  EXPECT_EXIT(LoadFrom(GetParam().folder), ::testing::ExitedWithCode(0), expected);
}

INSTANTIATE_TEST_SUITE_P(MissingParts, AspiLibraryFatal,
                         ::testing::Values(FatalCase{"missing", "wnaspi32.dll not found"},
                                           FatalCase{"unresolved", "wnaspi32.dll not found"},
                                           FatalCase{"no-support-info", "GetASPI32SupportInfo not found"},
                                           FatalCase{"no-send-command", "SendASPI32Command not found"}),
                         [](const auto& info) {
                           std::string name = info.param.folder;
                           for (char& c : name)
                             if (c == '-') c = '_';
                           return name;
                         });

TEST(AspiLibraryLoaded, UnloadingUnmapsTheLibraryAndRefusesLaterCommands) {
  const auto loader = platform::MakeSystemLibraryLoader(kModules + "/good");
  platform::LibraryLoader& libraries = *loader;
  fakes::RecordingDialogs dialogs;
  AspiEntryPoints aspi;
  AspiLibrary library{libraries, dialogs, aspi};
  LoadAspiLibrary(library);
  ASSERT_NE(library.handle, nullptr);
  const std::string path = kModules + "/good/wnaspi32.dll";

  UnloadAspiLibrary(library);
  UnloadAspiLibrary(library);
  EXPECT_FALSE(test_os::LibraryMapped(path)) << "the library is still mapped";
  static SRB_ExecSCSICmd block;
  ExecRequest inquiry;
  inquiry.flags = SRB_EVENT_NOTIFY;
  inquiry.cdbLen = 6;
  inquiry.cdb = {0x12};
  EXPECT_EQ(ExecuteScsiCommand(aspi, SystemEvents(), block, inquiry, 100), ExecResult::NotCompleted);
}

}  // namespace
