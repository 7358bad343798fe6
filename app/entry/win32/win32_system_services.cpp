#include <cstdlib>

#include "app/entry/system_services.h"
#include "platform/win32/win32_device_layer.h"
#include "platform/win32/win32_power.h"
#include "platform/system_library_loader.h"
#include "platform/win32/win32_system_info.h"

namespace entry {

std::unique_ptr<platform::SystemInfo> MakeSystemInfo() { return std::make_unique<platform::Win32SystemInfo>(); }

std::unique_ptr<platform::PowerControl> MakePower() { return std::make_unique<platform::Win32Power>(); }

std::unique_ptr<platform::LibraryLoader> MakeLibraryLoader(std::string folder) {
  return std::make_unique<platform::SystemLibraryLoader>(std::move(folder));
}

std::unique_ptr<platform::DeviceLayer> MakeDeviceLayer() {
  return std::make_unique<platform::Win32DeviceLayer>();
}

std::string ProgramFolder() {
  const std::string own = platform::Win32SystemInfo().OwnExecutablePath();
  const std::size_t cut = own.find_last_of("\\/");
  return cut == std::string::npos ? std::string() : own.substr(0, cut);
}

// _putenv, not _putenv_s: Windows 98's msvcrt.dll has only the former. It
// keeps the string it is given, so each one lives for the process.
void SetEnvironment(const char* name, const std::string& value) {
  ::_putenv((new std::string(std::string(name) + "=" + value))->c_str());
}

}  // namespace entry
