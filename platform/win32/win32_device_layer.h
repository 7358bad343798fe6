// The device layer for real drives on Windows: drive-letter index i is the
// device "\\.\X:" with X = 'C' + i, opened read-write and shared, and the
// three storage controls go to DeviceIoControl unchanged: the blocks of
// platform/device_layer.h are the system's own layouts. Any other control is
// refused without reaching the system.
//
// Handles are this layer's own numbers, never reused; a handle closed while
// a call on it still runs keeps the system handle open until that call
// returns, so a late call can never reach a device whose handle value the
// system has given out again. The system serialises calls on one handle: a
// call that hangs in the driver holds up the next worker's call on the same
// drive until it returns.
// Threads: any; see platform/device_layer.h.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "platform/device_layer.h"

namespace platform {

// The system calls the layer makes; replaced by a recording fake in tests.
// System handles travel as integers so that this header needs no
// <windows.h>; -1 is the system's invalid handle.
// Threads: any.
class Win32DeviceCalls {
 public:
  virtual ~Win32DeviceCalls() = default;
  virtual std::intptr_t Open(const std::string& path) = 0;  // -1 when it fails
  virtual bool Control(std::intptr_t handle, uint32_t code, void* in, uint32_t inLen, void* out,
                       uint32_t outLen) = 0;
  virtual void Close(std::intptr_t handle) = 0;
  virtual void Sleep(uint32_t ms) = 0;
};

Win32DeviceCalls& RealWin32DeviceCalls();

inline constexpr uint8_t DRIVE_LETTER_COUNT = 24;  // C to Z

// "\\.\C:" for index 0 ... "\\.\Z:" for 23; empty beyond.
std::string DrivePath(uint8_t driveLetterIndex);

class Win32DeviceLayer final : public DeviceLayer {
 public:
  explicit Win32DeviceLayer(Win32DeviceCalls& calls = RealWin32DeviceCalls());
  ~Win32DeviceLayer() override;  // closes whatever is still open
  Win32DeviceLayer(const Win32DeviceLayer&) = delete;
  Win32DeviceLayer& operator=(const Win32DeviceLayer&) = delete;

  DeviceHandle CreateFile(uint8_t driveLetterIndex) override;
  bool DeviceIoControl(DeviceHandle h, uint32_t code, void* in, uint32_t inLen, void* out,
                       uint32_t outLen) override;
  void CloseHandle(DeviceHandle h) override;
  void Sleep(uint32_t ms) override;

 private:
  class OpenDevice;

  std::shared_ptr<OpenDevice> Find(DeviceHandle h);

  Win32DeviceCalls& calls_;
  std::mutex lock_;
  std::map<DeviceHandle, std::shared_ptr<OpenDevice>> open_;
  DeviceHandle lastHandle_ = 0;
};

}  // namespace platform
