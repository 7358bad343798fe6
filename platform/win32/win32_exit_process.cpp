#include <cstdio>
#include <iostream>

#include "platform/exit_process.h"
#include "platform/win32/windows_api.h"

namespace platform {

void ExitProcess(uint32_t exitCode) {
  std::cout.flush();
  std::cerr.flush();
  std::clog.flush();
  std::fflush(nullptr);
  ::ExitProcess(exitCode);
}

}  // namespace platform
