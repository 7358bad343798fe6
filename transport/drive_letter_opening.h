// Opening the drive letters C to Z as the pass-through back-end's discovery
// wants them: each letter gets up to three attempts, with a pause of 1 ms
// before each of its retries.
//
// DriveLetterOpening does that ahead of discovery on a thread of its own, so
// that the pauses pass while the window is being built instead of after it;
// discovery then takes the handles. Nothing else changes: the same calls
// reach the same device layer, the letters in the same order.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "platform/device_layer.h"
#include "platform/thread.h"
#include "transport/unique_device_handle.h"

inline constexpr int32_t DRIVE_LETTER_COUNT = 24;  // C to Z

// Index 0 is C; a letter that did not open holds no handle.
using OpenedLetters = std::array<UniqueDeviceHandle, DRIVE_LETTER_COUNT>;

// The attempts, on the calling thread. Threads: any.
OpenedLetters OpenDriveLetters(platform::DeviceLayer& devices);

// Threads: made, taken from and destroyed on one thread (the window thread in
// the program). The device layer must outlive it.
class DriveLetterOpening {
 public:
  // Begins at once; without a thread of its own the opening waits for Take().
  explicit DriveLetterOpening(platform::DeviceLayer& devices);
  // Waits for the opening to end; closes what was never taken.
  ~DriveLetterOpening();
  DriveLetterOpening(const DriveLetterOpening&) = delete;
  DriveLetterOpening& operator=(const DriveLetterOpening&) = delete;

  // Waits for the opening to end and hands over its handles, once: a second
  // call gets none.
  OpenedLetters Take();

 private:
  void Wait();

  platform::DeviceLayer& devices_;
  OpenedLetters opened_;
  std::unique_ptr<platform::OsThread> thread_;
  bool started_ = false;
};
