// Discovery over the Windows device layer when a letter's start-up query
// hangs in its driver: the system serialises the calls on one handle, so
// anything more sent on it would wait as long as the driver hangs.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <map>
#include <set>
#include <vector>

#include "platform/lock.h"
#include "platform/win32/win32_device_layer.h"
#include "transport/aspisim.h"

namespace {

constexpr uint8_t kHungLetter = 1;      // D:
constexpr uint8_t kAnsweringLetter = 2;  // E:
constexpr uint32_t kHangLimitMs = 5000;  // a serialised call behind the hang ends the test, not the run

// The system as Windows behaves: calls on one handle run one after another;
// D:'s inquiry-data query hangs until released (or the limit passes).
class SerialisingSystem final : public platform::Win32DeviceCalls {
 public:
  std::intptr_t Open(const std::string& path, uint32_t& error) override {
    const char letter = path.back() == ':' ? path[path.size() - 2] : '?';
    if (letter != 'C' + kHungLetter && letter != 'C' + kAnsweringLetter) {
      error = 2;  // ERROR_FILE_NOT_FOUND
      return -1;
    }
    platform::LockGuard guard(lock);
    handles[letter - 'C'] = 100 + letter;
    ++live;
    return 100 + letter;
  }
  bool Control(std::intptr_t handle, uint32_t code, void*, uint32_t, void* out, uint32_t outLen) override {
    platform::UniqueLock guard(lock);
    changed.WaitFor(guard, kHangLimitMs, [&] { return busy.count(handle) == 0; });
    busy.insert(handle);
    calls.emplace_back(handle, code);
    const bool hangs = handle == handles[kHungLetter] && code == platform::IOCTL_SCSI_GET_INQUIRY_DATA;
    if (hangs) changed.WaitFor(guard, kHangLimitMs, [&] { return released; });
    // Inquiry data: one record, at offset 16 (its device type 0).
    if (code == platform::IOCTL_SCSI_GET_INQUIRY_DATA && out != nullptr) {
      std::memset(out, 0, outLen);
      static_cast<uint8_t*>(out)[platform::BUS_INFO_FIRST_INQUIRY_OFFSET] = 16;
    }
    busy.erase(handle);
    changed.NotifyAll();
    return true;
  }
  void Close(std::intptr_t) override {
    platform::LockGuard guard(lock);
    --live;
    changed.NotifyAll();
  }
  void Sleep(uint32_t) override {}
  void SayToDebugger(const std::string&) override {}

  platform::Mutex lock;
  platform::ConditionVariable changed;
  std::set<std::intptr_t> busy;
  std::map<uint8_t, std::intptr_t> handles;
  std::vector<std::pair<std::intptr_t, uint32_t>> calls;
  bool released = false;
  int live = 0;
};

TEST(AspiSimHungQuery, ALetterWhoseQueryWasGivenUpIsPassedOverWithNothingMoreSentOnIt) {
  SerialisingSystem system;
  {
    platform::Win32DeviceLayer layer(system, 20);
    std::atomic<int32_t> adapters{-1};
    auto sim = std::make_unique<ASPISim>(layer, SystemEvents(), adapters);
    {
      platform::LockGuard guard(system.lock);
      const std::intptr_t hung = system.handles[kHungLetter];
      std::vector<uint32_t> sentOnHung;
      for (const auto& [handle, code] : system.calls)
        if (handle == hung) sentOnHung.push_back(code);
      EXPECT_EQ(sentOnHung, std::vector<uint32_t>{platform::IOCTL_SCSI_GET_INQUIRY_DATA});
    }
    EXPECT_EQ(adapters.load(), 1);
    ASSERT_NE(sim->Adapter(0), nullptr);
    EXPECT_EQ(sim->Adapter(0)->driveLetterIndex, kAnsweringLetter);
    EXPECT_EQ(layer.OpenProblems(), std::vector<std::string>{"D: did not answer within 20 ms at start-up: passed over"});
    sim.reset();
  }
  platform::UniqueLock guard(system.lock);
  system.released = true;
  system.changed.NotifyAll();
  system.changed.Wait(guard, [&] { return system.live == 0; });  // the given-up call let the handle go
}

}  // namespace
