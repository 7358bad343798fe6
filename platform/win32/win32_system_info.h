// What the running Windows says of itself: its family from GetVersionExA,
// its default language from GetSystemDefaultLangID, the program's own path
// from GetModuleFileNameA.
// Threads: any.
#pragma once

#include "platform/system_info.h"

namespace platform {

class Win32SystemInfo final : public SystemInfo {
 public:
  // 0 when the system does not answer; callers treat any value other than
  // VER_PLATFORM_WIN32_NT as the library family, as the system itself would.
  uint32_t PlatformId() override;
  uint16_t SystemDefaultLangID() override;
  // In the system's ANSI code page: a character outside it comes back as '?',
  // and the path then names no file.
  std::string OwnExecutablePath() override;
};

}  // namespace platform
