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

std::string InFolder(const std::string& folder, const std::string& name) {
  const char last = folder.back();
  return folder + (last == '\\' || last == '/' ? "" : "\\") + name;
}

}  // namespace

std::string SystemFolderFile(const std::string& name) {
  char folder[MAX_PATH] = {};
  const UINT length = ::GetSystemDirectoryA(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  return InFolder(std::string(folder, length), name);
}

LibraryHandle Win32LibraryLoader::LoadLibrary(const std::string& name) {
  if (name.empty()) return nullptr;
  if (IsPath(name)) return Open(name);
  if (!folder_.empty()) {
    const std::string local = InFolder(folder_, name);
    if (IsRegularFile(local)) return Open(local);
  }
  // By full path, so that the system's own search, which may include the
  // current directory and PATH, never offers a planted copy.
  const std::string system = SystemFolderFile(name);
  return system.empty() ? nullptr : Open(system);
}

void* Win32LibraryLoader::GetProcAddress(LibraryHandle lib, const char* name) {
  // GetProcAddress with no module would search the program itself.
  if (lib == nullptr || name == nullptr) return nullptr;
  return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(lib), name));
}

void Win32LibraryLoader::FreeLibrary(LibraryHandle lib) {
  if (lib != nullptr) ::FreeLibrary(static_cast<HMODULE>(lib));
}

std::unique_ptr<LibraryLoader> MakeSystemLibraryLoader(std::string folder) {
  return std::make_unique<Win32LibraryLoader>(std::move(folder));
}

}  // namespace platform
