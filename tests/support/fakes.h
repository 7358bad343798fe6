// Fake services for tests: a system that answers what the test says, a
// power control that only records, dialogs that record instead of waiting
// for a person, and no devices. TestChannel is a drive command channel over
// the process's events and recording dialogs, with short waits.
// Threads: the recording fakes may be called from any thread.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "drive/command_channel.h"
#include "platform/device_layer.h"
#include "platform/dialogs.h"
#include "platform/dynamic_library.h"
#include "platform/event.h"
#include "platform/lock.h"
#include "platform/power.h"
#include "platform/system_info.h"

namespace fakes {

class FakeSystemInfo final : public platform::SystemInfo {
 public:
  uint32_t platformId = platform::VER_PLATFORM_WIN32_NT;
  uint16_t langId = platform::LANG_ID_ENGLISH_US;
  std::string ownPath;
  uint32_t PlatformId() override { return platformId; }
  uint16_t SystemDefaultLangID() override { return langId; }
  std::string OwnExecutablePath() override { return ownPath; }
};

class RecordingPower final : public platform::PowerControl {
 public:
  // One entry per call, in order: "privilege on", "privilege off", "exit 1", "inhibit", "release".
  std::vector<std::string> Calls() const;
  bool AdjustShutdownPrivilege(bool enable) override;
  bool ExitWindowsEx(uint32_t flags, uint32_t reserved) override;
  std::unique_ptr<platform::InhibitLock> InhibitShutdown() override;
  void Record(std::string call);
  // The system's answer to the inhibitor, held back while false; what the
  // lock lacks (set before the click).
  std::atomic<bool> answered{true};
  std::string missing;

 private:
  mutable platform::Mutex lock_;
  std::vector<std::string> calls_;
};

class RecordingDialogs final : public platform::Dialogs {
 public:
  struct Box {
    std::string text;     // CP932
    std::string caption;  // empty for plain boxes
    bool fatal = false;
  };
  std::vector<Box> Boxes() const;
  int Count(const std::string& text) const;
  int Beeps() const;
  void ShowMessage(std::string_view cp932) override;
  void ShowFatalError(std::string_view text, std::string_view caption) override;
  void Beep() override;

 private:
  mutable platform::Mutex lock_;
  std::vector<Box> boxes_;
  int beeps_ = 0;
};

class NoLibraries final : public platform::LibraryLoader {
 public:
  platform::LibraryHandle LoadLibrary(const std::string&) override { return nullptr; }
  void* GetProcAddress(platform::LibraryHandle, const char*) override { return nullptr; }
  void FreeLibrary(platform::LibraryHandle) override {}
};

class NoDevices final : public platform::DeviceLayer {
 public:
  platform::DeviceHandle CreateFile(uint8_t) override { return platform::INVALID_HANDLE_VALUE; }
  bool DeviceIoControl(platform::DeviceHandle, uint32_t, void*, uint32_t, void*, uint32_t) override {
    return false;
  }
  void CloseHandle(platform::DeviceHandle) override {}
  void Sleep(uint32_t) override {}
};

// An event table that can make no event.
class NoEvents final : public EventService {
 public:
  EventHandle CreateEvent() override { return NO_EVENT; }
  bool SetEvent(EventHandle) override { return false; }
  bool ResetEvent(EventHandle) override { return false; }
  WaitResult WaitForSingleObject(EventHandle, uint32_t) override { return WaitResult::Failed; }
  bool CloseHandle(EventHandle) override { return false; }
  std::size_t OpenCount() const override { return 0; }
};

// Short enough that a test of a drive that never answers is quick, long
// enough that a sound command is not late on a busy machine.
inline constexpr CommandWaits TEST_WAITS{1000, 2000};

struct TestChannel {
  RecordingDialogs dialogs;
  CommandChannel channel{SystemEvents(), dialogs};
  TestChannel() { channel.waits = TEST_WAITS; }
  CommandChannel& operator*() { return channel; }
  CommandChannel* operator->() { return &channel; }
};

}  // namespace fakes
