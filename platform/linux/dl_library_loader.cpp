// How a library name maps to a file:
//  - a name with a slash is a path and is opened as it is;
//  - a bare name (such as "wnaspi32.dll") is first looked for as a file of
//    exactly that name in the loader's folder (the program's own folder, as
//    the entry passes it); if that file exists, loading it is the only try,
//    so a broken copy there is reported as missing rather than silently
//    replaced by another one found elsewhere;
//  - otherwise the bare name goes to the dynamic loader's usual search
//    (LD_LIBRARY_PATH, the executable's RUNPATH, the ld.so cache, the system
//    folders). The current directory is never searched.
// Modules are opened with RTLD_NOW | RTLD_LOCAL: every symbol a module needs
// must resolve at load time (an unresolved one means "cannot be loaded", not
// a crash at the first call), and its own symbols stay out of the global
// namespace.
#include <dlfcn.h>
#include <sys/stat.h>

#include "platform/linux/dl_library_loader.h"

namespace platform {

namespace {

bool IsRegularFile(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

LibraryHandle Open(const std::string& file) {
  LibraryHandle lib = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (lib == nullptr) (void)::dlerror();  // clear the error state for the next caller
  return lib;
}

}  // namespace

LibraryHandle DlLibraryLoader::LoadLibrary(const std::string& name) {
  if (name.empty()) return nullptr;
  if (name.find('/') != std::string::npos) return Open(name);
  if (!folder_.empty()) {
    const std::string local = folder_ + (folder_.back() == '/' ? "" : "/") + name;
    if (IsRegularFile(local)) return Open(local);
  }
  return Open(name);
}

void* DlLibraryLoader::GetProcAddress(LibraryHandle lib, const char* name) {
  // dlsym with a null handle would search the whole process (RTLD_DEFAULT):
  // no library means no entry point.
  if (lib == nullptr || name == nullptr) return nullptr;
  void* symbol = ::dlsym(lib, name);
  if (symbol == nullptr) (void)::dlerror();
  return symbol;
}

void DlLibraryLoader::FreeLibrary(LibraryHandle lib) {
  if (lib != nullptr) ::dlclose(lib);
}

std::unique_ptr<LibraryLoader> MakeSystemLibraryLoader(std::string folder) {
  return std::make_unique<DlLibraryLoader>(std::move(folder));
}

}  // namespace platform
