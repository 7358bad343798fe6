#include "cli/entry/cli_system.h"
#include "platform/linux/sg_device_layer.h"

namespace cli_entry {

namespace {

// logind's inhibitor speaks D-Bus, which the program reaches only through
// the window's toolkit: without a window nothing is held, and the run says
// so on stderr.
class NoInhibitorPower final : public platform::PowerControl {
 public:
  bool AdjustShutdownPrivilege(bool) override { return false; }
  bool ExitWindowsEx(uint32_t, uint32_t) override { return false; }
  std::unique_ptr<platform::InhibitLock> InhibitShutdown() override { return nullptr; }
};

}  // namespace

std::unique_ptr<platform::PowerControl> MakeCliPower() { return std::make_unique<NoInhibitorPower>(); }

std::string DeviceName(uint8_t letterIndex) { return platform::SgNodePath(letterIndex); }

}  // namespace cli_entry
