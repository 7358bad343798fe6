// The window's power control: logind over Qt D-Bus, apart from the other
// services so that a program without Qt can take those.
#include "app/entry/system_services.h"
#include "platform/linux/logind/logind_power.h"

namespace entry {

std::unique_ptr<platform::PowerControl> MakePower() { return std::make_unique<platform::LogindPower>(); }

}  // namespace entry
