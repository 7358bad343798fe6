#include "platform/exit_process.h"
#include "platform/win32/windows_api.h"

namespace platform {

void EndProcessNow(uint32_t exitCode) { ::ExitProcess(exitCode); }

}  // namespace platform
