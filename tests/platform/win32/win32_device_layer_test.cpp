#include "platform/win32/win32_device_layer.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "platform/lock.h"
#include "platform/win32/windows_api.h"
#include "tests/support/test_thread.h"

namespace {

using platform::DeviceHandle;

// Stands for the system: every path opens, handle values are reused as the
// system would (the lowest free one), and a call may be held inside.
class FakeSystem final : public platform::Win32DeviceCalls {
 public:
  struct Call {
    std::intptr_t handle;
    uint32_t code;
    void* in;
    uint32_t inLen;
    void* out;
    uint32_t outLen;
  };

  std::intptr_t Open(const std::string& path, uint32_t& error) override {
    platform::LockGuard guard(lock);
    opened.push_back(path);
    if (openError != 0) {
      error = openError;
      return -1;
    }
    std::intptr_t h = 4;
    while (live.count(h) != 0) h += 4;
    live.insert(h);
    return h;
  }
  bool Control(std::intptr_t handle, uint32_t code, void* in, uint32_t inLen, void* out,
               uint32_t outLen) override {
    platform::UniqueLock guard(lock);
    controls.push_back({handle, code, in, inLen, out, outLen});
    if (in != nullptr && inLen >= sizeof(platform::SptdBlock))
      timeouts.push_back(static_cast<platform::SptdBlock*>(in)->sptd.TimeOutValue);
    if (out != nullptr && outLen > 0) *static_cast<uint8_t*>(out) = kAnswer;
    inside = true;
    changed.NotifyAll();
    changed.Wait(guard, [&] { return !holdCalls; });
    inside = false;
    return live.count(handle) == 1;
  }
  void Close(std::intptr_t handle) override {
    platform::LockGuard guard(lock);
    closed.push_back(handle);
    live.erase(handle);
    changed.NotifyAll();
  }
  void Sleep(uint32_t) override {}
  void SayToDebugger(const std::string& line) override { said.push_back(line); }

  static constexpr uint8_t kAnswer = 0x5A;

  platform::Mutex lock;
  platform::ConditionVariable changed;
  bool holdCalls = false;
  bool inside = false;
  uint32_t openError = 0;
  std::vector<uint32_t> timeouts;
  std::vector<std::string> said;
  std::set<std::intptr_t> live;
  std::vector<std::string> opened;
  std::vector<Call> controls;
  std::vector<std::intptr_t> closed;
};

class LetterPaths : public ::testing::TestWithParam<std::pair<uint8_t, const char*>> {};

TEST_P(LetterPaths, IndexOpensItsDriveLetterAndNothingBeyondZ) {
  FakeSystem system;
  platform::Win32DeviceLayer layer(system);
  const DeviceHandle h = layer.CreateFile(GetParam().first);
  const std::string expected = GetParam().second;
  if (expected.empty()) {
    EXPECT_EQ(h, platform::INVALID_HANDLE_VALUE);
    EXPECT_TRUE(system.opened.empty());
  } else {
    EXPECT_NE(h, platform::INVALID_HANDLE_VALUE);
    EXPECT_EQ(system.opened, std::vector<std::string>{expected});
  }
}

INSTANTIATE_TEST_SUITE_P(Letters, LetterPaths,
                         ::testing::Values(std::pair<uint8_t, const char*>{0, "\\\\.\\C:"},
                                           std::pair<uint8_t, const char*>{2, "\\\\.\\E:"},
                                           std::pair<uint8_t, const char*>{23, "\\\\.\\Z:"},
                                           std::pair<uint8_t, const char*>{24, ""},
                                           std::pair<uint8_t, const char*>{255, ""}));

class ControlCodes : public ::testing::TestWithParam<std::pair<uint32_t, bool>> {};

TEST_P(ControlCodes, TheThreeStorageControlsPassUnchangedAndNoOtherReachesTheSystem) {
  FakeSystem system;
  platform::Win32DeviceLayer layer(system);
  const DeviceHandle h = layer.CreateFile(0);
  platform::SptdBlock block{};
  uint8_t out[96] = {};
  const bool passed = layer.DeviceIoControl(h, GetParam().first, &block, sizeof block, out, sizeof out);
  EXPECT_EQ(passed, GetParam().second);
  if (!GetParam().second) {
    EXPECT_TRUE(system.controls.empty());
    return;
  }
  ASSERT_EQ(system.controls.size(), 1u);
  const FakeSystem::Call& c = system.controls[0];
  EXPECT_EQ(c.handle, *system.live.begin());
  EXPECT_EQ(c.code, GetParam().first);
  EXPECT_EQ(c.inLen, sizeof block);
  EXPECT_EQ(c.outLen, sizeof out);
  EXPECT_EQ(out[0], FakeSystem::kAnswer) << "the answer did not reach the caller";
  // The start-up controls answer into a buffer of their own worker's.
  EXPECT_EQ(c.out == out, GetParam().first == platform::IOCTL_SCSI_PASS_THROUGH_DIRECT);
}

INSTANTIATE_TEST_SUITE_P(Codes, ControlCodes,
                         ::testing::Values(std::pair{platform::IOCTL_SCSI_GET_INQUIRY_DATA, true},
                                           std::pair{platform::IOCTL_SCSI_GET_CAPABILITIES, true},
                                           std::pair{platform::IOCTL_SCSI_PASS_THROUGH_DIRECT, true},
                                           std::pair{0x4D004u, false},     // IOCTL_SCSI_PASS_THROUGH
                                           std::pair{0x2D1400u, false}));  // IOCTL_STORAGE_QUERY_PROPERTY

TEST(Win32DeviceLayer, ClosedHandleReachesNothingEvenWhenTheSystemReusedItsValue) {
  FakeSystem system;
  platform::Win32DeviceLayer layer(system);
  const DeviceHandle first = layer.CreateFile(0);
  layer.CloseHandle(first);
  const DeviceHandle second = layer.CreateFile(1);  // the system hands out the same value again
  ASSERT_EQ(system.closed.size(), 1u);
  ASSERT_EQ(*system.live.begin(), system.closed[0]);
  EXPECT_NE(second, first);
  platform::SptdBlock block{};
  EXPECT_FALSE(layer.DeviceIoControl(first, platform::IOCTL_SCSI_PASS_THROUGH_DIRECT, &block, sizeof block,
                                     &block, sizeof block));
  EXPECT_TRUE(system.controls.empty());
  layer.CloseHandle(first);  // a second close is harmless too
  EXPECT_EQ(system.closed.size(), 1u);
}

TEST(Win32DeviceLayer, CloseDuringACallKeepsTheSystemHandleUntilTheCallReturns) {
  FakeSystem system;
  platform::Win32DeviceLayer layer(system);
  const DeviceHandle h = layer.CreateFile(0);
  system.holdCalls = true;
  bool passed = false;
  zx_test::TestThread caller([&] {
    platform::SptdBlock block{};
    passed = layer.DeviceIoControl(h, platform::IOCTL_SCSI_PASS_THROUGH_DIRECT, &block, sizeof block, &block,
                                   sizeof block);
  });
  {
    platform::UniqueLock guard(system.lock);
    system.changed.Wait(guard, [&] { return system.inside; });
  }
  layer.CloseHandle(h);
  {
    platform::LockGuard guard(system.lock);
    EXPECT_TRUE(system.closed.empty()) << "closed under a running call";
    system.holdCalls = false;
    system.changed.NotifyAll();
  }
  caller.join();
  EXPECT_TRUE(passed);
  EXPECT_EQ(system.closed.size(), 1u);
}

TEST(Win32DeviceLayer, HandlesAreNeverHandedOutTwiceAndAllCloseWithTheLayer) {
  FakeSystem system;
  std::set<DeviceHandle> seen;
  {
    platform::Win32DeviceLayer layer(system);
    for (int i = 0; i < 50; ++i) {
      const DeviceHandle h = layer.CreateFile(static_cast<uint8_t>(i % platform::DRIVE_LETTER_COUNT));
      EXPECT_TRUE(seen.insert(h).second);
      if (i % 2 == 0) layer.CloseHandle(h);
    }
  }
  EXPECT_TRUE(system.live.empty());
}

class PassThroughTimeouts : public ::testing::TestWithParam<std::pair<uint32_t, uint32_t>> {};

TEST_P(PassThroughTimeouts, ReachTheSystemCappedAtTwoMinutes) {
  FakeSystem system;
  platform::Win32DeviceLayer layer(system);
  platform::SptdBlock block{};
  block.sptd.TimeOutValue = GetParam().first;
  ASSERT_TRUE(layer.DeviceIoControl(layer.CreateFile(0), platform::IOCTL_SCSI_PASS_THROUGH_DIRECT, &block,
                                    sizeof block, &block, sizeof block));
  EXPECT_EQ(system.timeouts, std::vector<uint32_t>{GetParam().second});
}

INSTANTIATE_TEST_SUITE_P(Seconds, PassThroughTimeouts,
                         ::testing::Values(std::pair{10u, 10u}, std::pair{120u, 120u}, std::pair{121u, 120u},
                                           std::pair{108000u, 120u}));

TEST(Win32DeviceLayer, StartupControlThatHangsIsGivenUpAfterItsBoundAndSaidOnce) {
  FakeSystem system;
  {
    platform::Win32DeviceLayer layer(system, 20);
    const DeviceHandle h = layer.CreateFile(1);
    system.holdCalls = true;
    uint8_t out[64] = {};
    for (int attempt = 0; attempt < 2; ++attempt)
      EXPECT_FALSE(layer.DeviceIoControl(h, platform::IOCTL_SCSI_GET_INQUIRY_DATA, nullptr, 0, out, sizeof out));
    EXPECT_EQ(out[0], 0) << "a late answer reached the caller's buffer";
    EXPECT_EQ(layer.OpenProblems(), std::vector<std::string>{"D: did not answer within 20 ms at start-up: passed over"});
    EXPECT_EQ(system.said, layer.OpenProblems());
  }
  platform::UniqueLock guard(system.lock);
  system.holdCalls = false;
  system.changed.NotifyAll();
  system.changed.Wait(guard, [&] { return system.live.empty(); });  // the abandoned calls let the handle go
}

class OpenErrors : public ::testing::TestWithParam<std::pair<uint32_t, const char*>> {};

TEST_P(OpenErrors, ALetterThatExistsButDoesNotOpenIsSaidOnceWithTheReason) {
  FakeSystem system;
  system.openError = GetParam().first;
  platform::Win32DeviceLayer layer(system);
  for (int attempt = 0; attempt < 3; ++attempt) EXPECT_EQ(layer.CreateFile(2), platform::INVALID_HANDLE_VALUE);
  const auto problems = layer.OpenProblems();
  if (*GetParam().second == '\0') {
    EXPECT_TRUE(problems.empty());
    return;
  }
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_EQ(problems[0].rfind("E: exists but cannot be opened: ", 0), 0u) << problems[0];
  EXPECT_NE(problems[0].find(GetParam().second), std::string::npos) << problems[0];
  EXPECT_EQ(system.said, problems);
}

INSTANTIATE_TEST_SUITE_P(Errors, OpenErrors,
                         ::testing::Values(std::pair{2u, ""},    // ERROR_FILE_NOT_FOUND: no such letter
                                           std::pair{3u, ""},    // ERROR_PATH_NOT_FOUND
                                           std::pair{5u, "(5); sending commands to a drive needs administrator"},
                                           std::pair{32u, "(32)"}));  // ERROR_SHARING_VIOLATION

TEST(Win32DeviceLayer, ALetterBeingFlashedIsPassedOverByAnotherInstanceUntilTheRunEnds) {
  const std::string prefix = "zorvex-flash test " + std::to_string(::GetCurrentProcessId()) + " ";
  FakeSystem first, second;
  platform::Win32DeviceLayer running(first, platform::STARTUP_CONTROL_BOUND_MS, prefix);
  platform::Win32DeviceLayer starting(second, platform::STARTUP_CONTROL_BOUND_MS, prefix);
  const DeviceHandle h = running.CreateFile(3);
  std::string refusal;
  auto lock = running.LockExclusive(h, refusal);
  ASSERT_NE(lock, nullptr) << refusal;
  EXPECT_EQ(starting.CreateFile(3), platform::INVALID_HANDLE_VALUE);
  EXPECT_TRUE(second.opened.empty()) << "the held letter was opened";
  EXPECT_EQ(starting.OpenProblems(),
            std::vector<std::string>{"F: is being flashed by another instance of this program: passed over"});
  zx_test::TestThread other([&] { EXPECT_EQ(running.LockExclusive(h, refusal), nullptr); });  // not its owner
  other.join();
  EXPECT_EQ(refusal, "F: is being flashed by another instance of this program");
  lock.reset();
  EXPECT_NE(starting.CreateFile(3), platform::INVALID_HANDLE_VALUE);
}

}  // namespace
