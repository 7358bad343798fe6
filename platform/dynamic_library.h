// Loading a library by name, looking up entry points, freeing it.
// The system's implementation: SystemLibraryLoader
// (platform/system_library_loader.h), which says how a name maps to a file.
// Threads: any; the program uses it from the window thread.
#pragma once

#include <memory>
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

// The loader of the system the program is built for, searching `folder`
// first for a bare name.
std::unique_ptr<LibraryLoader> MakeSystemLibraryLoader(std::string folder = {});

}  // namespace platform
