#include "platform/exit_process.h"

#include <cstdio>
#include <iostream>

namespace platform {

void ExitProcess(uint32_t exitCode) {
  std::cout.flush();
  std::cerr.flush();
  std::clog.flush();
  std::fflush(nullptr);
  EndProcessNow(exitCode);
}

}  // namespace platform
