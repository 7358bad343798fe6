// The few system calls the tests make themselves, for Linux and Windows:
// the environment a loaded library reads, the process id, and whether a
// library file is still mapped into the process.
// Threads: test thread only (the environment is process-wide).
#pragma once

#include <string>

namespace test_os {

void SetEnv(const std::string& name, const std::string& value);
void UnsetEnv(const std::string& name);
int ProcessId();
bool LibraryMapped(const std::string& path);

}  // namespace test_os
