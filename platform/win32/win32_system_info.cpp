#include "platform/win32/win32_system_info.h"

#include "platform/win32/windows_api.h"

namespace platform {

namespace {

// The longest path the ANSI functions can return on any Windows, with the
// "\\?\" prefix; beyond it there is nothing to grow into.
constexpr DWORD LONGEST_PATH = 32768;

}  // namespace

uint32_t Win32SystemInfo::PlatformId() {
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof info;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (::GetVersionExA(&info) == FALSE) return 0;
#pragma GCC diagnostic pop
  return info.dwPlatformId;
}

uint16_t Win32SystemInfo::SystemDefaultLangID() { return ::GetSystemDefaultLangID(); }

std::string Win32SystemInfo::OwnExecutablePath() {
  // A path that does not fit comes back cut to the buffer (and, on older
  // systems, unterminated): grow until it fits with room to spare.
  std::string path(MAX_PATH, '\0');
  for (;;) {
    const DWORD n = ::GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    if (path.size() >= LONGEST_PATH) return {};
    path.resize(path.size() * 2);
  }
}

}  // namespace platform
