#include "platform/win32/win32_device_layer.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "platform/thread.h"
#include "platform/win32/windows_api.h"

namespace platform {

namespace {

class RealCalls final : public Win32DeviceCalls {
 public:
  std::intptr_t Open(const std::string& path, uint32_t& error) override {
    // Pass-through needs read and write access; sharing both leaves the
    // drive usable by the system and other programs meanwhile.
    HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             nullptr, OPEN_EXISTING, 0, nullptr);
    error = h == win32::WIN32_INVALID_HANDLE ? ::GetLastError() : 0;
    return h == win32::WIN32_INVALID_HANDLE ? -1 : reinterpret_cast<std::intptr_t>(h);
  }

  bool Control(std::intptr_t handle, uint32_t code, void* in, uint32_t inLen, void* out,
               uint32_t outLen) override {
    DWORD returned = 0;  // required without an OVERLAPPED; the callers do not use it
    return ::DeviceIoControl(reinterpret_cast<HANDLE>(handle), code, in, inLen, out, outLen, &returned,
                             nullptr) != FALSE;
  }

  void Close(std::intptr_t handle) override { ::CloseHandle(reinterpret_cast<HANDLE>(handle)); }

  void Sleep(uint32_t ms) override { ::Sleep(ms); }
};

// Errors that mean nothing is there to open: not worth a line.
bool NothingThere(uint32_t error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_INVALID_DRIVE ||
         error == ERROR_INVALID_NAME || error == ERROR_BAD_NETPATH;
}

// "D:" of "\\.\D:".
std::string LetterOf(const std::string& path) { return path.size() >= 2 ? path.substr(path.size() - 2) : path; }

// Windows NT 4.0 and the 95/98/Me family know no object namespaces; from
// Windows 2000 on, "Global\" makes the letter's mutex one for every session.
HANDLE CreateLetterMutex(const std::string& name) {
  HANDLE mutex = ::CreateMutexA(nullptr, FALSE, ("Global\\" + name).c_str());
  if (mutex == nullptr) mutex = ::CreateMutexA(nullptr, FALSE, name.c_str());
  return mutex;
}

bool IsStorageControl(uint32_t code) {
  return code == IOCTL_SCSI_GET_INQUIRY_DATA || code == IOCTL_SCSI_GET_CAPABILITIES ||
         code == IOCTL_SCSI_PASS_THROUGH_DIRECT;
}

}  // namespace

std::string Win32DeviceCalls::ErrorText(uint32_t error) {
  char text[512] = {};
  const DWORD length = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                                        0, text, sizeof text, nullptr);
  std::string words(text, length);
  while (!words.empty() && (words.back() == '\n' || words.back() == '\r' || words.back() == ' ')) words.pop_back();
  std::replace(words.begin(), words.end(), '\r', ' ');
  std::replace(words.begin(), words.end(), '\n', ' ');
  return (words.empty() ? std::string("error") : words) + " (" + std::to_string(error) + ")";
}

std::intptr_t Win32DeviceCalls::HoldMutex(const std::string& name) {
  HANDLE mutex = CreateLetterMutex(name);
  if (mutex == nullptr) return -1;
  const DWORD taken = ::WaitForSingleObject(mutex, 0);
  // An abandoned mutex was held by a run that ended without letting go (a
  // crash): the letter is free again.
  if (taken == WAIT_OBJECT_0 || taken == WAIT_ABANDONED) return reinterpret_cast<std::intptr_t>(mutex);
  ::CloseHandle(mutex);
  return -1;
}

void Win32DeviceCalls::ReleaseMutex(std::intptr_t mutex) {
  ::ReleaseMutex(reinterpret_cast<HANDLE>(mutex));
  ::CloseHandle(reinterpret_cast<HANDLE>(mutex));
}

bool Win32DeviceCalls::MutexHeld(const std::string& name) {
  // The mutex exists only while a run holds it (each run makes it and closes
  // it at its end, and a process that dies closes its handles), so being
  // there is being held; looking takes nothing a starting run could need.
  for (const std::string& full : {"Global\\" + name, name}) {
    HANDLE mutex = ::OpenMutexA(SYNCHRONIZE, FALSE, full.c_str());
    if (mutex != nullptr) {
      ::CloseHandle(mutex);
      return true;
    }
    if (::GetLastError() == ERROR_ACCESS_DENIED) return true;  // another user's run
  }
  return false;
}

void Win32DeviceCalls::SayToDebugger(const std::string& line) { ::OutputDebugStringA((line + "\n").c_str()); }

Win32DeviceCalls& RealWin32DeviceCalls() {
  static RealCalls calls;
  return calls;
}

std::string DrivePath(uint8_t driveLetterIndex) {
  if (driveLetterIndex >= DRIVE_LETTER_COUNT) return {};
  return std::string("\\\\.\\") + static_cast<char>('C' + driveLetterIndex) + ":";
}

// One open system handle, closed when its last user lets go.
class Win32DeviceLayer::OpenDevice {
 public:
  OpenDevice(Win32DeviceCalls& calls, std::intptr_t handle, std::string letter)
      : calls_(calls), handle_(handle), letter_(std::move(letter)) {}
  ~OpenDevice() { calls_.Close(handle_); }
  OpenDevice(const OpenDevice&) = delete;
  OpenDevice& operator=(const OpenDevice&) = delete;
  std::intptr_t handle() const { return handle_; }
  const std::string& letter() const { return letter_; }
  // The system carries out calls on one handle one after another: behind a
  // call that was given up, any further call would wait as long as it
  // hangs, so once one is given up nothing more is sent on the handle.
  void GiveUp() { givenUp_.store(true); }
  bool GivenUp() const { return givenUp_.load(); }

 private:
  Win32DeviceCalls& calls_;
  const std::intptr_t handle_;
  const std::string letter_;
  std::atomic<bool> givenUp_{false};
};

// The letter's mutex, owned by the thread that took it.
class Win32DeviceLayer::LetterLock final : public DeviceLock {
 public:
  LetterLock(Win32DeviceCalls& calls, std::intptr_t mutex) : calls_(calls), mutex_(mutex) {}
  ~LetterLock() override { calls_.ReleaseMutex(mutex_); }
  LetterLock(const LetterLock&) = delete;
  LetterLock& operator=(const LetterLock&) = delete;

 private:
  Win32DeviceCalls& calls_;
  const std::intptr_t mutex_;
};

namespace {

// What a start-up control's worker shares with the caller, who may give it
// up: the device stays open and the answer goes to a buffer of its own.
struct ControlCall {
  std::shared_ptr<void> device;
  std::vector<uint8_t> in;
  std::vector<uint8_t> out;
  bool answered = false;
};

}  // namespace

Win32DeviceLayer::Win32DeviceLayer(Win32DeviceCalls& calls, uint32_t startupControlBoundMs,
                                   std::string mutexPrefix)
    : calls_(calls), boundMs_(startupControlBoundMs), mutexPrefix_(std::move(mutexPrefix)) {}

Win32DeviceLayer::~Win32DeviceLayer() = default;

std::string Win32DeviceLayer::MutexName(const std::string& letter) const { return mutexPrefix_ + letter; }

DeviceHandle Win32DeviceLayer::CreateFile(uint8_t driveLetterIndex) {
  const std::string path = DrivePath(driveLetterIndex);
  if (path.empty()) return INVALID_HANDLE_VALUE;
  const std::string letter = LetterOf(path);
  if (calls_.MutexHeld(MutexName(letter))) {
    NoteProblem(letter, letter + " is being flashed by another instance of this program: passed over");
    return INVALID_HANDLE_VALUE;
  }
  uint32_t error = 0;
  const std::intptr_t system = calls_.Open(path, error);
  if (system == -1) {
    if (!NothingThere(error)) {
      std::string problem = letter + " exists but cannot be opened: " + calls_.ErrorText(error);
      if (error == ERROR_ACCESS_DENIED)
        problem += "; sending commands to a drive needs administrator rights (run the program as administrator)";
      NoteProblem(letter, problem);
    }
    return INVALID_HANDLE_VALUE;
  }
  return handles_.Add(std::make_shared<OpenDevice>(calls_, system, letter));
}

void Win32DeviceLayer::NoteProblem(const std::string& letter, const std::string& problem) {
  if (problems_.Note(letter, problem)) calls_.SayToDebugger(problem);
}

std::vector<std::string> Win32DeviceLayer::OpenProblems() const { return problems_.Lines(); }

std::unique_ptr<DeviceLock> Win32DeviceLayer::LockExclusive(DeviceHandle h, std::string& refusal) {
  const auto device = Find(h);
  if (!device) {
    refusal = "the drive is no longer open";
    return nullptr;
  }
  const std::intptr_t mutex = calls_.HoldMutex(MutexName(device->letter()));
  if (mutex != -1) return std::make_unique<LetterLock>(calls_, mutex);
  refusal = device->letter() + " is being flashed by another instance of this program";
  return nullptr;
}

// The system handle closes here, or when a call still using it returns.
void Win32DeviceLayer::CloseHandle(DeviceHandle h) { (void)handles_.Take(h); }

void Win32DeviceLayer::Sleep(uint32_t ms) { calls_.Sleep(ms); }

std::shared_ptr<Win32DeviceLayer::OpenDevice> Win32DeviceLayer::Find(DeviceHandle h) { return handles_.Find(h); }

bool Win32DeviceLayer::DeviceIoControl(DeviceHandle h, uint32_t code, void* in, uint32_t inLen, void* out,
                                       uint32_t outLen) {
  if (!IsStorageControl(code)) return false;
  const auto device = Find(h);
  if (!device || device->GivenUp()) return false;
  if (code != IOCTL_SCSI_PASS_THROUGH_DIRECT) return BoundedControl(device, code, in, inLen, out, outLen);
  if (in != nullptr && inLen >= sizeof(SptdBlock)) {
    auto& sptd = static_cast<SptdBlock*>(in)->sptd;
    sptd.TimeOutValue = std::min(sptd.TimeOutValue, PASS_THROUGH_TIMEOUT_MAX_S);
  }
  return calls_.Control(device->handle(), code, in, inLen, out, outLen);
}

bool Win32DeviceLayer::BoundedControl(const std::shared_ptr<OpenDevice>& device, uint32_t code, void* in,
                                      uint32_t inLen, void* out, uint32_t outLen) {
  auto call = std::make_shared<ControlCall>();
  call->device = device;
  if (in != nullptr) call->in.assign(static_cast<const uint8_t*>(in), static_cast<const uint8_t*>(in) + inLen);
  call->out.resize(out != nullptr ? outLen : 0);
  Win32DeviceCalls& calls = calls_;
  const std::intptr_t handle = device->handle();
  auto worker = OsThread::Start([call, &calls, handle, code, inLen, outLen] {
    call->answered = calls.Control(handle, code, call->in.empty() ? nullptr : call->in.data(), inLen,
                                   call->out.empty() ? nullptr : call->out.data(), outLen);
  });
  if (!worker) return false;
  if (!worker->Join(boundMs_)) {
    worker->Abandon();
    device->GiveUp();
    NoteProblem(device->letter(), device->letter() + " did not answer within " + std::to_string(boundMs_) +
                                      " ms at start-up: passed over");
    return false;
  }
  if (call->answered && !call->out.empty()) std::memcpy(out, call->out.data(), call->out.size());
  return call->answered;
}

}  // namespace platform
