// <windows.h> for the Win32 implementations, without the macros whose names
// the platform interfaces use for their own members and constants
// (CreateFile, LoadLibrary, CreateEvent, INVALID_HANDLE_VALUE,
// VER_PLATFORM_WIN32_*, EWX_SHUTDOWN). Code here calls the system by its
// explicit names (::CreateFileA, ::LoadLibraryA, ::CreateEventA) and uses
// WIN32_INVALID_HANDLE for the system's invalid handle.
// Threads: any (declarations only).
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#undef CreateFile
#undef LoadLibrary
#undef CreateEvent
#undef INVALID_HANDLE_VALUE
#undef VER_PLATFORM_WIN32_WINDOWS
#undef VER_PLATFORM_WIN32_NT
#undef EWX_SHUTDOWN

namespace platform::win32 {

inline HANDLE const WIN32_INVALID_HANDLE = reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1));

}  // namespace platform::win32
