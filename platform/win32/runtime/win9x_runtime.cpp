// Replacements for the few system calls that the compiler's own runtime
// (libgcc's thread primitives and unwinder, libstdc++'s file buffer,
// mingw-w64's C runtime additions) imports and that Windows 95/98/Me lack
// or only stub out: CreateSemaphoreW, GetModuleHandleW, LoadLibraryW (the
// C runtime's rand_s, which libstdc++'s std::random_device pulls in) and
// _fstat64 (Windows 98's msvcrt.dll has no such export). IsDBCSLeadByteEx
// is replaced too, although every Windows of both families exports it
// (Windows 95 included): the replacement, on GetCPInfo, keeps it out of
// the import table, so the allow-list has one line fewer to vouch for.
//
// The runtime's code calls each through its import slot (__imp_...).
// Defining those slots here, in an object linked into every i686 program
// and library (cmake/Windows.cmake), makes the linker take them instead of
// the import libraries' entries, so the system's function is never
// imported and the runtime calls a version built on what both families
// have. Only for i686: every x86_64 Windows has the originals.
// Threads: any; nothing is shared.
#if defined(__i386__)

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <io.h>

#include "platform/win32/windows_api.h"

namespace {

// A name in the system's code page, for the ANSI call; false when it does
// not fit or does not convert.
bool Narrow(LPCWSTR wide, char (&out)[MAX_PATH]) {
  return ::WideCharToMultiByte(CP_ACP, 0, wide, -1, out, MAX_PATH, nullptr, nullptr) != 0;
}

HANDLE WINAPI CreateSemaphoreNarrow(LPSECURITY_ATTRIBUTES security, LONG initial, LONG maximum, LPCWSTR name) {
  if (name == nullptr) return ::CreateSemaphoreA(security, initial, maximum, nullptr);
  char narrow[MAX_PATH];
  if (!Narrow(name, narrow)) return nullptr;
  return ::CreateSemaphoreA(security, initial, maximum, narrow);
}

HMODULE WINAPI GetModuleHandleNarrow(LPCWSTR name) {
  if (name == nullptr) return ::GetModuleHandleA(nullptr);
  char narrow[MAX_PATH];
  if (!Narrow(name, narrow)) return nullptr;
  return ::GetModuleHandleA(narrow);
}

HMODULE WINAPI LoadLibraryNarrow(LPCWSTR name) {
  char narrow[MAX_PATH];
  if (name == nullptr || !Narrow(name, narrow)) {
    ::SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return ::LoadLibraryA(narrow);
}

// From the code page's lead-byte ranges, which GetCPInfo gives on both families.
BOOL WINAPI IsLeadByteOf(UINT codePage, BYTE byte) {
  CPINFO info{};
  if (!::GetCPInfo(codePage, &info)) return FALSE;
  for (int i = 0; i + 1 < MAX_LEADBYTES && (info.LeadByte[i] != 0 || info.LeadByte[i + 1] != 0); i += 2)
    if (byte >= info.LeadByte[i] && byte <= info.LeadByte[i + 1]) return TRUE;
  return FALSE;
}

// What libstdc++'s file buffer asks (the kind of file, and a disk file's
// size), from the open handle.
int __cdecl FileStatus(int descriptor, struct _stat64* status) {
  std::memset(status, 0, sizeof *status);
  const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(descriptor));
  if (handle == platform::win32::WIN32_INVALID_HANDLE) {
    errno = EBADF;
    return -1;
  }
  switch (::GetFileType(handle)) {
    case FILE_TYPE_DISK: {
      DWORD high = 0;
      const DWORD low = ::GetFileSize(handle, &high);
      if (low == INVALID_FILE_SIZE && ::GetLastError() != NO_ERROR) {
        errno = EBADF;
        return -1;
      }
      status->st_mode = _S_IFREG | _S_IREAD | _S_IWRITE;
      status->st_size = (static_cast<long long>(high) << 32) | low;
      break;
    }
    case FILE_TYPE_CHAR:
      status->st_mode = _S_IFCHR;
      break;
    case FILE_TYPE_PIPE:
      status->st_mode = _S_IFIFO;
      break;
    default:
      break;
  }
  status->st_nlink = 1;
  return 0;
}

}  // namespace

extern "C" {
HANDLE(WINAPI* zx_import_CreateSemaphoreW)(LPSECURITY_ATTRIBUTES, LONG, LONG, LPCWSTR) __asm__(
    "__imp__CreateSemaphoreW@16") = &CreateSemaphoreNarrow;
HMODULE(WINAPI* zx_import_GetModuleHandleW)(LPCWSTR) __asm__("__imp__GetModuleHandleW@4") = &GetModuleHandleNarrow;
HMODULE(WINAPI* zx_import_LoadLibraryW)(LPCWSTR) __asm__("__imp__LoadLibraryW@4") = &LoadLibraryNarrow;
BOOL(WINAPI* zx_import_IsDBCSLeadByteEx)(UINT, BYTE) __asm__("__imp__IsDBCSLeadByteEx@8") = &IsLeadByteOf;
int(__cdecl* zx_import_fstat64)(int, struct _stat64*) __asm__("__imp___fstat64") = &FileStatus;
}

#endif  // __i386__
