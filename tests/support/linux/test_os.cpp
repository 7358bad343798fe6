#include "tests/support/test_os.h"

#include <cstdlib>

#include <dlfcn.h>
#include <unistd.h>

namespace test_os {

void SetEnv(const std::string& name, const std::string& value) { setenv(name.c_str(), value.c_str(), 1); }

void UnsetEnv(const std::string& name) { unsetenv(name.c_str()); }

int ProcessId() { return static_cast<int>(::getpid()); }

bool LibraryMapped(const std::string& path) {
  void* probe = ::dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (probe != nullptr) ::dlclose(probe);
  return probe != nullptr;
}

}  // namespace test_os
