// The real operating-system services of the platform the program is built
// for (linux/linux_system_services.cpp or win32/win32_system_services.cpp), for the
// product's entry and the demo's.
// Threads: window thread; each service as its own header says.
#pragma once

#include <memory>
#include <string>

#include "platform/device_layer.h"
#include "platform/dynamic_library.h"
#include "platform/power.h"
#include "platform/system_info.h"

namespace entry {

std::unique_ptr<platform::SystemInfo> MakeSystemInfo();
// The system's power-off and shutdown inhibitor; after the application object.
std::unique_ptr<platform::PowerControl> MakePower();
// Looks for a bare library name in `folder` first.
std::unique_ptr<platform::LibraryLoader> MakeLibraryLoader(std::string folder);
std::unique_ptr<platform::DeviceLayer> MakeDeviceLayer();
// The folder that holds the running program's own file; empty when unknown.
std::string ProgramFolder();
// Sets a variable of the process's environment, for libraries it loads later.
void SetEnvironment(const char* name, const std::string& value);

}  // namespace entry
