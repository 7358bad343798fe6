// The library loader's native calls on Windows.
#include "platform/system_library_loader.h"
#include "platform/win32/windows_api.h"

namespace platform {

bool SystemLibraryLoader::IsPath(const std::string& name) { return name.find_first_of("\\/:") != std::string::npos; }

std::string SystemLibraryLoader::InFolder(const std::string& folder, const std::string& name) {
  const char last = folder.back();
  return folder + (last == '\\' || last == '/' ? "" : "\\") + name;
}

bool SystemLibraryLoader::IsRegularFile(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

LibraryHandle SystemLibraryLoader::Open(const std::string& file) {
  // No box about a missing dependency: nobody may be there to close it, and
  // the caller reports the failure itself.
  const UINT previous = ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  HMODULE lib = ::LoadLibraryA(file.c_str());
  ::SetErrorMode(previous);
  return reinterpret_cast<LibraryHandle>(lib);
}

// By full path, so that the system's own search, which may include the
// current directory and PATH, never offers a planted copy.
LibraryHandle SystemLibraryLoader::OpenElsewhere(const std::string& name) {
  char folder[MAX_PATH] = {};
  const UINT length = ::GetSystemDirectoryA(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  return Open(InFolder(std::string(folder, length), name));
}

void* SystemLibraryLoader::GetProcAddress(LibraryHandle lib, const char* name) {
  // GetProcAddress with no module would search the program itself.
  if (lib == nullptr || name == nullptr) return nullptr;
  return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(lib), name));
}

void SystemLibraryLoader::FreeLibrary(LibraryHandle lib) {
  if (lib != nullptr) ::FreeLibrary(static_cast<HMODULE>(lib));
}

}  // namespace platform
