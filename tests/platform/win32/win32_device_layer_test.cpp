#include "platform/win32/win32_device_layer.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

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

  std::intptr_t Open(const std::string& path) override {
    std::lock_guard guard(lock);
    opened.push_back(path);
    std::intptr_t h = 4;
    while (live.count(h) != 0) h += 4;
    live.insert(h);
    return h;
  }
  bool Control(std::intptr_t handle, uint32_t code, void* in, uint32_t inLen, void* out,
               uint32_t outLen) override {
    std::unique_lock guard(lock);
    controls.push_back({handle, code, in, inLen, out, outLen});
    inside = true;
    changed.notify_all();
    changed.wait(guard, [&] { return !holdCalls; });
    inside = false;
    return live.count(handle) == 1;
  }
  void Close(std::intptr_t handle) override {
    std::lock_guard guard(lock);
    closed.push_back(handle);
    live.erase(handle);
  }
  void Sleep(uint32_t) override {}

  std::mutex lock;
  std::condition_variable changed;
  bool holdCalls = false;
  bool inside = false;
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
  EXPECT_EQ(c.in, &block);
  EXPECT_EQ(c.inLen, sizeof block);
  EXPECT_EQ(c.out, out);
  EXPECT_EQ(c.outLen, sizeof out);
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
  std::thread caller([&] {
    platform::SptdBlock block{};
    passed = layer.DeviceIoControl(h, platform::IOCTL_SCSI_PASS_THROUGH_DIRECT, &block, sizeof block, &block,
                                   sizeof block);
  });
  {
    std::unique_lock guard(system.lock);
    system.changed.wait(guard, [&] { return system.inside; });
  }
  layer.CloseHandle(h);
  {
    std::lock_guard guard(system.lock);
    EXPECT_TRUE(system.closed.empty()) << "closed under a running call";
    system.holdCalls = false;
    system.changed.notify_all();
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

}  // namespace
