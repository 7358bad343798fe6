// Opening the drive letters C to Z as the pass-through back-end's discovery
// wants them: each letter gets up to three attempts, with a pause of 1 ms
// before each of its retries.
//
// DriveLetterOpening does that ahead of discovery, on the thread that then
// becomes the simulator's worker: the pauses pass while the window is being
// built instead of after it, and no thread is made only to end again. The
// same calls reach the same device layer, the letters in the same order.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>

#include "platform/device_layer.h"
#include "platform/thread.h"
#include "transport/unique_device_handle.h"

inline constexpr int32_t DRIVE_LETTER_COUNT = 24;  // C to Z

// Index 0 is C; a letter that did not open holds no handle.
using OpenedLetters = std::array<UniqueDeviceHandle, DRIVE_LETTER_COUNT>;

// Starts a thread with a body and a priority, as platform::OsThread::Start.
using WorkerStarter =
    std::function<std::unique_ptr<platform::OsThread>(std::function<void()> body, platform::ThreadPriority)>;

// The attempts, on the calling thread. Threads: any.
OpenedLetters OpenDriveLetters(platform::DeviceLayer& devices);

// Threads: made, used and destroyed on one thread (the window thread in the
// program); the starter it gives may be called on any thread. The device
// layer must outlive the opening's thread.
class DriveLetterOpening {
 public:
  // Begins at once, on a thread of above-normal priority (the worker's);
  // without a thread the letters are opened by Take().
  explicit DriveLetterOpening(platform::DeviceLayer& devices);
  // Waits for a thread that has not become a worker; what was never taken
  // is closed.
  ~DriveLetterOpening();
  DriveLetterOpening(const DriveLetterOpening&) = delete;
  DriveLetterOpening& operator=(const DriveLetterOpening&) = delete;

  // Waits for the opening and hands over its handles, once: a second call
  // gets none.
  OpenedLetters Take();
  // The first above-normal start it is asked for runs its body on the
  // opening's thread, once the opening is done; every other start makes a
  // thread of its own.
  WorkerStarter Starter();

  struct Shared;

 private:
  std::shared_ptr<Shared> shared_;
};
