// The library's flash dump is staged beside its final name, as the program's
// own files are; a signal that ends the program while the library writes it
// must take the staged file too, though the library handles no signal.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>

#include "platform/dynamic_library.h"
#include "platform/removal_on_signal.h"
#include "tests/support/fakes.h"
#include "tests/support/test_os.h"
#include "transport/aspi_library.h"

namespace {

namespace fs = std::filesystem;

// A file system that takes no more than a page ends the writer by SIGXFSZ,
// whose default action ends the process, halfway through the first dump file.
TEST(VirtualLibraryOnSignal, ADumpCutShortLeavesNoStagedFile) {
  const fs::path dir = fs::temp_directory_path() / ("zx-aspi-signal-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const rlimit noCore{0, 0}, onePage{4096, 4096};
    ::setrlimit(RLIMIT_CORE, &noCore);
    platform::InstallRemovalOnSignal();
    fakes::TestChannel test;
    const auto loader = platform::MakeSystemLibraryLoader(std::string(ZX_ASPI_MODULES_DIR) + "/good");
    AspiLibrary library{*loader, test.dialogs, test->aspi};
    test_os::SetEnv("ZX_VIRTUAL_ASPI", "dump=" + dir.string());
    LoadAspiLibrary(library);
    ::setrlimit(RLIMIT_FSIZE, &onePage);
    UnloadAspiLibrary(library);  // writes the dump
    ::_exit(0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ) << status;
  EXPECT_TRUE(fs::is_empty(dir)) << fs::directory_iterator(dir)->path();
  fs::remove_all(dir);
}

}  // namespace
