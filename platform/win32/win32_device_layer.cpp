#include "platform/win32/win32_device_layer.h"

#include "platform/win32/windows_api.h"

namespace platform {

namespace {

class RealCalls final : public Win32DeviceCalls {
 public:
  std::intptr_t Open(const std::string& path) override {
    // Pass-through needs read and write access; sharing both leaves the
    // drive usable by the system and other programs meanwhile.
    HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             nullptr, OPEN_EXISTING, 0, nullptr);
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

bool IsStorageControl(uint32_t code) {
  return code == IOCTL_SCSI_GET_INQUIRY_DATA || code == IOCTL_SCSI_GET_CAPABILITIES ||
         code == IOCTL_SCSI_PASS_THROUGH_DIRECT;
}

}  // namespace

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
  OpenDevice(Win32DeviceCalls& calls, std::intptr_t handle) : calls_(calls), handle_(handle) {}
  ~OpenDevice() { calls_.Close(handle_); }
  OpenDevice(const OpenDevice&) = delete;
  OpenDevice& operator=(const OpenDevice&) = delete;
  std::intptr_t handle() const { return handle_; }

 private:
  Win32DeviceCalls& calls_;
  const std::intptr_t handle_;
};

Win32DeviceLayer::Win32DeviceLayer(Win32DeviceCalls& calls) : calls_(calls) {}

Win32DeviceLayer::~Win32DeviceLayer() = default;

DeviceHandle Win32DeviceLayer::CreateFile(uint8_t driveLetterIndex) {
  const std::string path = DrivePath(driveLetterIndex);
  if (path.empty()) return INVALID_HANDLE_VALUE;
  const std::intptr_t system = calls_.Open(path);
  if (system == -1) return INVALID_HANDLE_VALUE;
  auto device = std::make_shared<OpenDevice>(calls_, system);
  std::lock_guard guard(lock_);
  const DeviceHandle h = ++lastHandle_;
  open_.emplace(h, std::move(device));
  return h;
}

void Win32DeviceLayer::CloseHandle(DeviceHandle h) {
  std::shared_ptr<OpenDevice> closing;
  {
    std::lock_guard guard(lock_);
    auto it = open_.find(h);
    if (it == open_.end()) return;
    closing = std::move(it->second);
    open_.erase(it);
  }
  // The system handle closes here, or when a call still using it returns.
}

void Win32DeviceLayer::Sleep(uint32_t ms) { calls_.Sleep(ms); }

std::shared_ptr<Win32DeviceLayer::OpenDevice> Win32DeviceLayer::Find(DeviceHandle h) {
  std::lock_guard guard(lock_);
  auto it = open_.find(h);
  return it == open_.end() ? nullptr : it->second;
}

bool Win32DeviceLayer::DeviceIoControl(DeviceHandle h, uint32_t code, void* in, uint32_t inLen, void* out,
                                       uint32_t outLen) {
  if (!IsStorageControl(code)) return false;
  const auto device = Find(h);
  if (!device) return false;
  return calls_.Control(device->handle(), code, in, inLen, out, outLen);
}

}  // namespace platform
