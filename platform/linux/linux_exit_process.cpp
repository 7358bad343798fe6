#include <cstdlib>

#include "platform/exit_process.h"

namespace platform {

void EndProcessNow(uint32_t exitCode) { std::_Exit(static_cast<int>(exitCode)); }

}  // namespace platform
