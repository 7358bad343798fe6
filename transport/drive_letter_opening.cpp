#include "transport/drive_letter_opening.h"

#include <utility>

#include "platform/lock.h"

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

// Shared by the owner, the opening's thread and the starters handed out.
struct DriveLetterOpening::Shared {
  explicit Shared(platform::DeviceLayer& layer) : devices(layer) {}

  platform::DeviceLayer& devices;
  platform::Mutex lock;
  platform::ConditionVariable changed;
  bool threadStarted = false;
  bool opened = false;
  bool taken = false;
  OpenedLetters letters;
  // Until a starter takes it over, or the owner waits for it.
  std::unique_ptr<platform::OsThread> thread;
  std::function<void()> workerBody;
  bool noWorker = false;
};

DriveLetterOpening::DriveLetterOpening(platform::DeviceLayer& devices)
    : shared_(std::make_shared<Shared>(devices)) {
  // Under the lock until the thread is stored: a starter may not take it
  // over before.
  platform::LockGuard guard(shared_->lock);
  shared_->thread = platform::OsThread::Start(
      [s = shared_] {
        OpenedLetters letters = OpenDriveLetters(s->devices);
        std::function<void()> body;
        {
          platform::UniqueLock guard(s->lock);
          s->letters = std::move(letters);
          s->opened = true;
          s->changed.NotifyAll();
          s->changed.Wait(guard, [&s] { return s->workerBody != nullptr || s->noWorker; });
          body = std::move(s->workerBody);
        }
        if (body) body();
      },
      platform::ThreadPriority::AboveNormal);
  shared_->threadStarted = shared_->thread != nullptr;
}

DriveLetterOpening::~DriveLetterOpening() {
  std::unique_ptr<platform::OsThread> thread;
  {
    platform::LockGuard guard(shared_->lock);
    shared_->noWorker = true;
    shared_->changed.NotifyAll();
    thread = std::move(shared_->thread);
  }
  thread.reset();  // joins
}

OpenedLetters DriveLetterOpening::Take() {
  Shared& s = *shared_;
  bool opensHere = false;
  {
    platform::UniqueLock guard(s.lock);
    if (s.taken) return {};
    s.taken = true;
    if (s.threadStarted)
      s.changed.Wait(guard, [&] { return s.opened; });
    else
      opensHere = true;
  }
  if (opensHere) return OpenDriveLetters(s.devices);
  platform::LockGuard guard(s.lock);
  return std::move(s.letters);
}

WorkerStarter DriveLetterOpening::Starter() {
  return [shared = shared_](std::function<void()> body,
                            platform::ThreadPriority priority) -> std::unique_ptr<platform::OsThread> {
    {
      platform::LockGuard guard(shared->lock);
      if (shared->thread != nullptr && priority == platform::ThreadPriority::AboveNormal &&
          !shared->noWorker) {
        shared->workerBody = std::move(body);
        shared->changed.NotifyAll();
        return std::move(shared->thread);
      }
    }
    return platform::OsThread::Start(std::move(body), priority);
  };
}
