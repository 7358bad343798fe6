#include "platform/win32/win32_library_loader.h"

#include "platform/win32/windows_api.h"

namespace platform {

namespace {

bool IsPath(const std::string& name) { return name.find_first_of("\\/:") != std::string::npos; }

bool IsRegularFile(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

LibraryHandle Open(const std::string& file) {
  // No box about a missing dependency: nobody may be there to close it, and
  // the caller reports the failure itself.
  const UINT previous = ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  HMODULE lib = ::LoadLibraryA(file.c_str());
  ::SetErrorMode(previous);
  return reinterpret_cast<LibraryHandle>(lib);
}

}  // namespace

LibraryHandle Win32LibraryLoader::LoadLibrary(const std::string& name) {
  if (name.empty()) return nullptr;
  if (IsPath(name)) return Open(name);
  if (!folder_.empty()) {
    const char last = folder_.back();
    const std::string local = folder_ + (last == '\\' || last == '/' ? "" : "\\") + name;
    if (IsRegularFile(local)) return Open(local);
  }
  return Open(name);
}

void* Win32LibraryLoader::GetProcAddress(LibraryHandle lib, const char* name) {
  // GetProcAddress with no module would search the program itself.
  if (lib == nullptr || name == nullptr) return nullptr;
  return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(lib), name));
}

void Win32LibraryLoader::FreeLibrary(LibraryHandle lib) {
  if (lib != nullptr) ::FreeLibrary(static_cast<HMODULE>(lib));
}

}  // namespace platform
