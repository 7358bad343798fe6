// A library planted where the program must never load it from (beside the
// program in place of a system library, the current directory, PATH): when
// loaded, it leaves a mark, one line with its own file name appended to the
// file that ZX_PLANTED_MARK names, and does nothing else. Built as
// riched20.dll and as wnaspi32.dll for the Windows end-to-end checks.
#include "platform/win32/windows_api.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  char mark[MAX_PATH] = {};
  char own[MAX_PATH] = {};
  if (::GetEnvironmentVariableA("ZX_PLANTED_MARK", mark, MAX_PATH) == 0) return TRUE;
  const DWORD length = ::GetModuleFileNameA(self, own, MAX_PATH - 2);
  own[length] = '\r';
  own[length + 1] = '\n';
  HANDLE file = ::CreateFileA(mark, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == platform::win32::WIN32_INVALID_HANDLE) return TRUE;
  DWORD written = 0;
  ::WriteFile(file, own, length + 2, &written, nullptr);
  ::CloseHandle(file);
  return TRUE;
}
