#include <fcntl.h>
#include <unistd.h>

#include "platform/fifo_hold.h"

namespace platform {

// Without a reader the open fails at once (ENXIO) instead of waiting.
FifoHold::FifoHold(const std::string& path) : fd_(::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC)) {}

FifoHold::~FifoHold() {
  if (fd_ >= 0) ::close(fd_);
}

}  // namespace platform
