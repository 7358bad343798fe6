// The system's library loader: loading a library, its entry points, freeing
// it (dlopen/dlsym/dlclose on Linux, LoadLibraryA/GetProcAddress/FreeLibrary
// on Windows).
//
// How a library name maps to a file, the same on every system:
//  - a path (a name with a '/'; on Windows also '\' or ':') is loaded as it is;
//  - a bare name (such as "wnaspi32.dll") is first looked for as a file of
//    exactly that name in the loader's folder (the program's own folder, as
//    the entry passes it); if that file exists, loading it is the only try,
//    so a broken copy there is reported as missing rather than silently
//    replaced by another one found elsewhere;
//  - otherwise, on Linux, the bare name goes to the dynamic loader's usual
//    search (LD_LIBRARY_PATH, the executable's RUNPATH, the ld.so cache, the
//    system folders); on Windows, the file of that name in the system folder
//    (GetSystemDirectoryA), by its full path. The current directory is never
//    searched, nor Windows' PATH, where anyone could plant a library that
//    would then run inside a program that writes firmware.
// Every symbol a module needs must resolve at load time: an unresolved one
// (a missing dependency on Windows) means "cannot be loaded", never a crash
// at the first call, nor, on Windows, the system's error box. On Linux a
// module's own symbols stay out of the global namespace.
// Under Wine, a library that Wine also provides built in (wnaspi32.dll among
// them) is replaced by Wine's own even when loaded by path, unless
// WINEDLLOVERRIDES names it native ("wnaspi32=n").
// Threads: as LibraryLoader; on Windows the window thread (the error mode
// it sets is process-wide).
#pragma once

#include <string>

#include "platform/dynamic_library.h"

namespace platform {

class SystemLibraryLoader final : public LibraryLoader {
 public:
  explicit SystemLibraryLoader(std::string folder = {}) : folder_(std::move(folder)) {}
  LibraryHandle LoadLibrary(const std::string& name) override;
  // Nothing without a library: the program's own symbols are not entry points.
  void* GetProcAddress(LibraryHandle lib, const char* name) override;
  void FreeLibrary(LibraryHandle lib) override;

 private:
  // Each system's own (platform/<system>/<system>_library_loader.cpp).
  static bool IsPath(const std::string& name);
  static std::string InFolder(const std::string& folder, const std::string& name);
  static bool IsRegularFile(const std::string& path);
  static LibraryHandle Open(const std::string& file);
  // A bare name that the folder does not have: the system's last resort.
  static LibraryHandle OpenElsewhere(const std::string& name);

  std::string folder_;
};

}  // namespace platform
