#include "platform/win32/win32_power.h"

#include "platform/win32/windows_api.h"

namespace platform {

namespace {

constexpr const char* SHUTDOWN_PRIVILEGE = "SeShutdownPrivilege";

// Owns a system handle that is closed with CloseHandle.
class OwnedHandle {
 public:
  OwnedHandle() = default;
  ~OwnedHandle() {
    if (handle_ != nullptr) ::CloseHandle(handle_);
  }
  OwnedHandle(const OwnedHandle&) = delete;
  OwnedHandle& operator=(const OwnedHandle&) = delete;
  HANDLE* out() { return &handle_; }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_ = nullptr;
};

// Windows 98 and 2000 on; looked up at run time, so that NT 4.0 and 95
// still load the program (there a run goes on without the lock).
using SetExecutionState = EXECUTION_STATE(WINAPI*)(EXECUTION_STATE);
SetExecutionState ExecutionStateCall() {
  static const auto call = reinterpret_cast<SetExecutionState>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "SetThreadExecutionState")));
  return call;
}

class ExecutionStateLock final : public InhibitLock {
 public:
  ~ExecutionStateLock() override { ExecutionStateCall()(ES_CONTINUOUS); }
};

}  // namespace

bool Win32Power::AdjustShutdownPrivilege(bool enable) {
  OwnedHandle token;
  if (::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token.out()) == FALSE)
    return false;
  TOKEN_PRIVILEGES privileges{};
  // A failed look-up is not the end: the adjustment below then fails and says
  // so through the last error, and the caller asks for the power-off anyway.
  ::LookupPrivilegeValueA(nullptr, SHUTDOWN_PRIVILEGE, &privileges.Privileges[0].Luid);
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = enable ? SE_PRIVILEGE_ENABLED : 0;
  // The call succeeds even when the token lacks the privilege; only the
  // last error tells.
  if (::AdjustTokenPrivileges(token.get(), FALSE, &privileges, 0, nullptr, nullptr) == FALSE) return false;
  return ::GetLastError() == ERROR_SUCCESS;
}

bool Win32Power::ExitWindowsEx(uint32_t flags, uint32_t reserved) {
  return ::ExitWindowsEx(flags, reserved) != FALSE;
}

std::unique_ptr<InhibitLock> Win32Power::InhibitShutdown() {
  const SetExecutionState set = ExecutionStateCall();
  if (set == nullptr || set(ES_CONTINUOUS | ES_SYSTEM_REQUIRED) == 0) return nullptr;
  return std::make_unique<ExecutionStateLock>();
}

}  // namespace platform
