#include <cstdlib>
#include <filesystem>

#include "app/entry/system_services.h"
#include "platform/linux/linux_system_info.h"
#include "platform/linux/sg_device_layer.h"
#include "platform/system_library_loader.h"

namespace entry {

std::unique_ptr<platform::SystemInfo> MakeSystemInfo() { return std::make_unique<platform::LinuxSystemInfo>(); }

std::unique_ptr<platform::LibraryLoader> MakeLibraryLoader(std::string folder) {
  return std::make_unique<platform::SystemLibraryLoader>(std::move(folder));
}

std::unique_ptr<platform::DeviceLayer> MakeDeviceLayer() { return std::make_unique<platform::SgDeviceLayer>(); }

std::string ProgramFolder() {
  const std::string own = platform::LinuxSystemInfo().OwnExecutablePath();
  return own.empty() ? std::string() : std::filesystem::path(own).parent_path().string();
}

void SetEnvironment(const char* name, const std::string& value) { ::setenv(name, value.c_str(), 1); }

}  // namespace entry
