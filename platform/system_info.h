// What the program asks of the running system: its family, its default
// language and the path of the program's own file. Behind an interface so
// that tests and the demo can answer for the system.
// Implementations: LinuxSystemInfo (platform/linux/linux_system_info.h), always of the pass-through
// family; Win32SystemInfo (platform/win32/win32_system_info.h), which
// reports the system's own family (0 when it cannot tell) and a path in the
// system's ANSI code page.
// Threads: any.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

inline constexpr uint32_t VER_PLATFORM_WIN32_WINDOWS = 1;  // library back-end family
inline constexpr uint32_t VER_PLATFORM_WIN32_NT = 2;       // pass-through family

inline constexpr uint16_t LANG_ID_JAPANESE = 0x0411;
inline constexpr uint16_t LANG_ID_ENGLISH_US = 0x0409;

class SystemInfo {
 public:
  virtual ~SystemInfo() = default;
  virtual uint32_t PlatformId() = 0;
  virtual uint16_t SystemDefaultLangID() = 0;
  // Full path of the running executable; empty when the system cannot tell.
  virtual std::string OwnExecutablePath() = 0;
};

}  // namespace platform
