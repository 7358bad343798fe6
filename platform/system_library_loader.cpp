#include "platform/system_library_loader.h"

#include <memory>

namespace platform {

LibraryHandle SystemLibraryLoader::LoadLibrary(const std::string& name) {
  if (name.empty()) return nullptr;
  if (IsPath(name)) return Open(name);
  if (!folder_.empty()) {
    const std::string local = InFolder(folder_, name);
    if (IsRegularFile(local)) return Open(local);
  }
  return OpenElsewhere(name);
}

std::unique_ptr<LibraryLoader> MakeSystemLibraryLoader(std::string folder) {
  return std::make_unique<SystemLibraryLoader>(std::move(folder));
}

}  // namespace platform
