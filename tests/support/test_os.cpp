#include "tests/support/test_os.h"

#include <cstdlib>

#ifdef _WIN32
#include <process.h>
#include <windows.h>
#else
#include <dlfcn.h>
#include <unistd.h>
#endif

namespace test_os {

void SetEnv(const std::string& name, const std::string& value) {
#ifdef _WIN32
  _putenv_s(name.c_str(), value.c_str());
#else
  setenv(name.c_str(), value.c_str(), 1);
#endif
}

void UnsetEnv(const std::string& name) {
#ifdef _WIN32
  _putenv_s(name.c_str(), "");  // an empty value removes the variable
#else
  unsetenv(name.c_str());
#endif
}

int ProcessId() {
#ifdef _WIN32
  return _getpid();
#else
  return static_cast<int>(::getpid());
#endif
}

bool LibraryMapped(const std::string& path) {
#ifdef _WIN32
  return ::GetModuleHandleA(path.c_str()) != nullptr;
#else
  void* probe = ::dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (probe != nullptr) ::dlclose(probe);
  return probe != nullptr;
#endif
}

}  // namespace test_os
