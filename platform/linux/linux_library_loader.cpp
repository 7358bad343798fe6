// The library loader's native calls on Linux. Modules are opened with
// RTLD_NOW | RTLD_LOCAL: every symbol must resolve at load time, and a
// module's own symbols stay out of the global namespace.
#include <dlfcn.h>
#include <sys/stat.h>

#include "platform/system_library_loader.h"

namespace platform {

bool SystemLibraryLoader::IsPath(const std::string& name) { return name.find('/') != std::string::npos; }

std::string SystemLibraryLoader::InFolder(const std::string& folder, const std::string& name) {
  return folder + (folder.back() == '/' ? "" : "/") + name;
}

bool SystemLibraryLoader::IsRegularFile(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

LibraryHandle SystemLibraryLoader::Open(const std::string& file) {
  LibraryHandle lib = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (lib == nullptr) (void)::dlerror();  // clear the error state for the next caller
  return lib;
}

// A bare name to dlopen searches only the loader's usual places, never the
// current directory.
LibraryHandle SystemLibraryLoader::OpenElsewhere(const std::string& name) { return Open(name); }

void* SystemLibraryLoader::GetProcAddress(LibraryHandle lib, const char* name) {
  // dlsym with a null handle would search the whole process (RTLD_DEFAULT).
  if (lib == nullptr || name == nullptr) return nullptr;
  void* symbol = ::dlsym(lib, name);
  if (symbol == nullptr) (void)::dlerror();
  return symbol;
}

void SystemLibraryLoader::FreeLibrary(LibraryHandle lib) {
  if (lib != nullptr) ::dlclose(lib);
}

}  // namespace platform
