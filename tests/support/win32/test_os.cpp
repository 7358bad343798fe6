#include "tests/support/test_os.h"

#include <cstdlib>

#include <process.h>
#include <windows.h>

namespace test_os {

void SetEnv(const std::string& name, const std::string& value) { _putenv_s(name.c_str(), value.c_str()); }

// An empty value removes the variable.
void UnsetEnv(const std::string& name) { _putenv_s(name.c_str(), ""); }

int ProcessId() { return _getpid(); }

bool LibraryMapped(const std::string& path) { return ::GetModuleHandleA(path.c_str()) != nullptr; }

}  // namespace test_os
