#include "transport/drive_letter_opening.h"

namespace {

constexpr int OPEN_ATTEMPTS = 3;

}  // namespace

// The letters are tried in rounds, so one pause serves every letter still
// closed: letter by letter, each absent letter would wait out pauses of its
// own, 46 of them on a machine with one drive.
OpenedLetters OpenDriveLetters(platform::DeviceLayer& devices) {
  OpenedLetters opened;
  for (int attempt = 0; attempt < OPEN_ATTEMPTS; ++attempt) {
    if (attempt > 0) devices.Sleep(1);
    bool missing = false;
    for (uint8_t index = 0; index < DRIVE_LETTER_COUNT; ++index) {
      if (opened[index].get() != platform::INVALID_HANDLE_VALUE) continue;
      const platform::DeviceHandle h = devices.CreateFile(index);
      if (h == platform::INVALID_HANDLE_VALUE)
        missing = true;
      else
        opened[index] = UniqueDeviceHandle(devices, h);
    }
    if (!missing) break;
  }
  return opened;
}

DriveLetterOpening::DriveLetterOpening(platform::DeviceLayer& devices) : devices_(devices) {
  thread_ = platform::OsThread::Start([this] { opened_ = OpenDriveLetters(devices_); });
  started_ = thread_ != nullptr;
}

DriveLetterOpening::~DriveLetterOpening() { Wait(); }

void DriveLetterOpening::Wait() {
  // The thread's end publishes its handles to this one.
  thread_.reset();
}

OpenedLetters DriveLetterOpening::Take() {
  Wait();
  if (!started_) {
    started_ = true;  // a second call opens nothing again
    opened_ = OpenDriveLetters(devices_);
  }
  return std::move(opened_);
}
