// The library loader on Linux.
// Threads: as LibraryLoader.
#pragma once

#include <string>

#include "platform/dynamic_library.h"

namespace platform {

// dlopen/dlsym/dlclose. A name without a slash is searched in `folder` first
// (when given), then on the loader's usual path.
class DlLibraryLoader final : public LibraryLoader {
 public:
  explicit DlLibraryLoader(std::string folder = {}) : folder_(std::move(folder)) {}
  LibraryHandle LoadLibrary(const std::string& name) override;
  void* GetProcAddress(LibraryHandle lib, const char* name) override;
  void FreeLibrary(LibraryHandle lib) override;

 private:
  std::string folder_;
};

}  // namespace platform
