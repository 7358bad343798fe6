// The own file opens but every read of it fails (a bad sector, a medium
// pulled out): the reads are made to fail here by standing in for pread(),
// which the test program's own copy of the platform code calls.
#include <dlfcn.h>
#include <gmock/gmock.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "firmware/container.h"
#include "tests/firmware/container_test_files.h"
#include "tests/support/fakes.h"
#include "tests/support/recording_view.h"

namespace {

std::atomic<bool> readsFail{false};

template <typename Fn>
ssize_t ReadOrFail(const char* name, int fd, void* buffer, size_t count, off_t offset) {
  static const auto real = reinterpret_cast<Fn>(::dlsym(RTLD_NEXT, name));
  if (!readsFail.load()) return real(fd, buffer, count, offset);
  errno = EIO;
  return -1;
}

}  // namespace

extern "C" ssize_t pread(int fd, void* buffer, size_t count, off_t offset) {
  return ReadOrFail<ssize_t (*)(int, void*, size_t, off_t)>("pread", fd, buffer, count, offset);
}
extern "C" ssize_t pread64(int fd, void* buffer, size_t count, off_t offset) {
  return ReadOrFail<ssize_t (*)(int, void*, size_t, off_t)>("pread64", fd, buffer, count, offset);
}

namespace {

// Opened, so not "Cannot open the file.": what it holds is no container
// the program could read, "Incorrect file", with no field shown.
TEST(CheckContainerReadError, AFileThatOpensButCannotBeReadIsAnIncorrectFile) {
  container_test::ScratchDir dir;
  container_test::WriteBytes(dir.File("zorvex-flash"), SyntheticContainer({'1', '0', 'B'}));
  fakes::FakeSystemInfo system;
  system.ownPath = dir.File("zorvex-flash");
  RunState run;
  run.containerValid = 1;
  ContainerInfo info;
  fakes::RecordingView view;
  readsFail = true;
  CheckContainer(system, info, run, view);
  readsFail = false;
  EXPECT_THAT(view.Calls(), ::testing::ElementsAre("status 11", "flash off"));
  EXPECT_EQ(run.containerValid, 0);
}

}  // namespace
