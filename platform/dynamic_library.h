// Loading a library by name, looking up entry points, freeing it.
// Implementations: DlLibraryLoader below (Linux) and Win32LibraryLoader
// (platform/win32/win32_library_loader.h). Both look for a bare name in the
// given folder first; after that, Windows's own search may include the
// current directory, which Linux's never does.
// Threads: any; the program uses it from the window thread.
#pragma once

#include <string>

namespace platform {

using LibraryHandle = void*;

class LibraryLoader {
 public:
  virtual ~LibraryLoader() = default;
  // nullptr when the library cannot be loaded.
  virtual LibraryHandle LoadLibrary(const std::string& name) = 0;
  virtual void* GetProcAddress(LibraryHandle lib, const char* name) = 0;
  virtual void FreeLibrary(LibraryHandle lib) = 0;
};

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
