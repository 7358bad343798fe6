#include "app/entry/demo_services.h"

#include "platform/standard_streams.h"

namespace demo {

DemoSystemInfo::DemoSystemInfo(platform::SystemInfo& real, const DemoOptions& options)
    : real_(real),
      platformId_(!options.family                ? real.PlatformId()
                  : *options.family == Family::Nt ? platform::VER_PLATFORM_WIN32_NT
                                                  : platform::VER_PLATFORM_WIN32_WINDOWS),
      langId_(!options.language                         ? real.SystemDefaultLangID()
              : *options.language == Language::Japanese ? platform::LANG_ID_JAPANESE
                                                        : platform::LANG_ID_ENGLISH_US) {}

Family DemoSystemInfo::ChosenFamily() const {
  // As start-up decides: anything but the NT family takes the library path.
  return platformId_ == platform::VER_PLATFORM_WIN32_NT ? Family::Nt : Family::Win9x;
}

void SayOnStdout(const std::string& line) { platform::WriteToStdout(line + "\n"); }

bool DemoPower::ExitWindowsEx(uint32_t flags, uint32_t reserved) {
  say_("zorvex-flash-demo: power-off requested (flags " + std::to_string(flags) + ", reserved " +
       std::to_string(reserved) + "); a real installation would shut the system down now");
  return true;
}

std::unique_ptr<platform::InhibitLock> DemoPower::InhibitShutdown() {
  return std::make_unique<platform::InhibitLock>();
}

}  // namespace demo
