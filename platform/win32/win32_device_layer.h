// The device layer for real drives on Windows: drive-letter index i is the
// device "\\.\X:" with X = 'C' + i, opened read-write and shared, and the
// three storage controls go to DeviceIoControl unchanged: the blocks of
// platform/device_layer.h are the system's own layouts. Any other control is
// refused without reaching the system.
//
// Handles are this layer's own (platform/device_handle_table.h): a late call
// can never reach a device whose handle value the system has given out
// again. The system serialises calls on one handle: a
// call that hangs in the driver holds up the next worker's call on the same
// drive until it returns.
//
// The two start-up controls (inquiry data, capabilities) run on a worker of
// their own and are given up after a bound: the system puts no limit of its
// own on them, and the window waits for the adapter scan. A letter whose
// driver hangs there costs the start-up that bound and is then passed over;
// the worker answers into its own buffer, never the caller's, so a late
// answer lands nowhere harmful. Pass-through requests carry at most
// PASS_THROUGH_TIMEOUT_MAX_S to the driver.
//
// During a run the letter is held by a named mutex (LockExclusive), so a
// second instance of the program, whose start-up skips a held letter,
// sends nothing to a drive that is being written. Other programs are not
// kept out: the system has no advisory lock on a device, and opening the
// drive unshared would lock out the system's own use of it.
// Threads: any; see platform/device_layer.h. A lock from LockExclusive is
// released by the thread that took it (a mutex belongs to its thread).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/device_handle_table.h"
#include "platform/device_layer.h"
#include "platform/device_problems.h"

namespace platform {

// The system calls the layer makes; replaced by a recording fake in tests.
// System handles travel as integers so that this header needs no
// <windows.h>; -1 is the system's invalid handle.
// Threads: any.
class Win32DeviceCalls {
 public:
  virtual ~Win32DeviceCalls() = default;
  // -1 when it fails, with the system's error code in `error`.
  virtual std::intptr_t Open(const std::string& path, uint32_t& error) = 0;
  virtual bool Control(std::intptr_t handle, uint32_t code, void* in, uint32_t inLen, void* out,
                       uint32_t outLen) = 0;
  virtual void Close(std::intptr_t handle) = 0;
  virtual void Sleep(uint32_t ms) = 0;
  // The system's words for an error code, without a line break.
  virtual std::string ErrorText(uint32_t error);
  // The named mutex that marks a letter as being flashed: -1 when another
  // thread or process holds it, else the owned mutex. `name` is the full
  // object name.
  virtual std::intptr_t HoldMutex(const std::string& name);
  virtual void ReleaseMutex(std::intptr_t mutex);
  // Whether some thread or process holds the named mutex right now.
  virtual bool MutexHeld(const std::string& name);
  // Where a problem is also said for a debugger (OutputDebugStringA).
  virtual void SayToDebugger(const std::string& line);
};

Win32DeviceCalls& RealWin32DeviceCalls();

inline constexpr uint8_t DRIVE_LETTER_COUNT = 24;  // C to Z
// How long a start-up control may take before its letter is passed over, as
// long as a drive may take to answer INQUIRY while it spins up.
inline constexpr uint32_t STARTUP_CONTROL_BOUND_MS = 10000;
// The object-name prefix of the letter mutexes.
inline constexpr const char* LETTER_MUTEX_PREFIX = "zorvex-flash drive ";

// "\\.\C:" for index 0 ... "\\.\Z:" for 23; empty beyond.
std::string DrivePath(uint8_t driveLetterIndex);

class Win32DeviceLayer final : public DeviceLayer {
 public:
  // `mutexPrefix` names the letter mutexes (tests give each layer its own).
  explicit Win32DeviceLayer(Win32DeviceCalls& calls = RealWin32DeviceCalls(),
                            uint32_t startupControlBoundMs = STARTUP_CONTROL_BOUND_MS,
                            std::string mutexPrefix = LETTER_MUTEX_PREFIX);
  ~Win32DeviceLayer() override;  // closes whatever is still open
  Win32DeviceLayer(const Win32DeviceLayer&) = delete;
  Win32DeviceLayer& operator=(const Win32DeviceLayer&) = delete;

  DeviceHandle CreateFile(uint8_t driveLetterIndex) override;
  bool DeviceIoControl(DeviceHandle h, uint32_t code, void* in, uint32_t inLen, void* out,
                       uint32_t outLen) override;
  // The letter's named mutex, held until the lock goes.
  std::unique_ptr<DeviceLock> LockExclusive(DeviceHandle h, std::string& refusal) override;
  void CloseHandle(DeviceHandle h) override;
  void Sleep(uint32_t ms) override;
  // One line per letter that exists but could not be opened, did not answer
  // a start-up control in time, or is held by another run, in the order met.
  std::vector<std::string> OpenProblems() const override;

 private:
  class OpenDevice;
  class LetterLock;

  std::shared_ptr<OpenDevice> Find(DeviceHandle h);
  bool BoundedControl(const std::shared_ptr<OpenDevice>& device, uint32_t code, void* in, uint32_t inLen, void* out,
                      uint32_t outLen);
  void NoteProblem(const std::string& letter, const std::string& problem);
  std::string MutexName(const std::string& letter) const;

  Win32DeviceCalls& calls_;
  const uint32_t boundMs_;
  const std::string mutexPrefix_;
  DeviceProblems problems_;
  DeviceHandleTable<OpenDevice> handles_;
};

}  // namespace platform
