// Loading a library with LoadLibraryA, its entry points with GetProcAddress,
// freeing it with FreeLibrary.
//
// How a name maps to a file:
//  - a name with a '\', '/' or ':' is a path and is loaded as it is;
//  - a bare name (such as "wnaspi32.dll") is first looked for as a file of
//    exactly that name in the loader's folder (the program's own folder, as
//    the entry passes it); if that file exists, loading it is the only try,
//    so a broken copy there is reported as missing rather than replaced by
//    another one found elsewhere;
//  - otherwise the file of that name in the system folder (GetSystemDirectoryA),
//    by its full path. The system's own search is never used: it may include
//    the current directory and PATH, where anyone could plant a library
//    that would then run inside a program that writes firmware.
// A library the system cannot load, a dependency missing included, gives
// nullptr without the system's error box.
// Under Wine, a library that Wine also provides built in (wnaspi32.dll among
// them) is replaced by Wine's own even when loaded by path, unless
// WINEDLLOVERRIDES names it native ("wnaspi32=n").
// Threads: window thread (the error mode it sets is process-wide).
#pragma once

#include <string>

#include "platform/dynamic_library.h"

namespace platform {

// `name` in the system folder, by its full path; empty when the folder is unknown.
std::string SystemFolderFile(const std::string& name);

class Win32LibraryLoader final : public LibraryLoader {
 public:
  explicit Win32LibraryLoader(std::string folder = {}) : folder_(std::move(folder)) {}
  LibraryHandle LoadLibrary(const std::string& name) override;
  void* GetProcAddress(LibraryHandle lib, const char* name) override;
  void FreeLibrary(LibraryHandle lib) override;

 private:
  std::string folder_;
};

}  // namespace platform
