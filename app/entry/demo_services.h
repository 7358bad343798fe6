// Services the demo answers itself: a system of the chosen family and
// language (the program's own file is still the real one, so the appended
// firmware is found), and a power control that never powers anything off.
// Threads: as platform/system_info.h and platform/power.h.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "app/entry/demo_options.h"
#include "platform/power.h"
#include "platform/system_info.h"

namespace demo {

class DemoSystemInfo final : public platform::SystemInfo {
 public:
  // `real` answers the own-file path and, with no language chosen, the
  // language; with no family chosen, the family.
  DemoSystemInfo(platform::SystemInfo& real, const DemoOptions& options);
  // The family the demo runs as.
  Family ChosenFamily() const;
  uint32_t PlatformId() override { return platformId_; }
  uint16_t SystemDefaultLangID() override { return langId_; }
  std::string OwnExecutablePath() override { return real_.OwnExecutablePath(); }

 private:
  platform::SystemInfo& real_;
  uint32_t platformId_;
  uint16_t langId_;
};

// Where the demo's own lines for the operator go, one whole line at a time
// (the line end is added).
using DemoSay = std::function<void(const std::string& line)>;

// The window demo's: standard output, through the one writer.
void SayOnStdout(const std::string& line);

// Power-off says one line and succeeds; the shutdown privilege
// and the inhibitor lock do nothing.
class DemoPower final : public platform::PowerControl {
 public:
  explicit DemoPower(DemoSay say) : say_(std::move(say)) {}
  bool AdjustShutdownPrivilege(bool) override { return true; }
  bool ExitWindowsEx(uint32_t flags, uint32_t reserved) override;
  std::unique_ptr<platform::InhibitLock> InhibitShutdown() override;

 private:
  DemoSay say_;
};

}  // namespace demo
