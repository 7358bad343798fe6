// The library loader of the system the program is built for: dlopen on
// Linux (DlLibraryLoader), LoadLibraryA on Windows (Win32LibraryLoader);
// each header says how a name maps to a file there.
// Threads: as LibraryLoader.
#pragma once

#ifdef _WIN32
#include "platform/win32/win32_library_loader.h"
#else
#include "platform/dynamic_library.h"
#endif

namespace platform {

#ifdef _WIN32
using SystemLibraryLoader = Win32LibraryLoader;
#else
using SystemLibraryLoader = DlLibraryLoader;
#endif

}  // namespace platform
