// What the program asks of the running system, on Linux.
// Threads: any.
#pragma once

#include <string>

#include "platform/system_info.h"

namespace platform {

// Linux: the pass-through family, the language from the locale environment,
// the path from /proc/self/exe.
class LinuxSystemInfo final : public SystemInfo {
 public:
  uint32_t PlatformId() override;
  uint16_t SystemDefaultLangID() override;
  std::string OwnExecutablePath() override;
};

}  // namespace platform
