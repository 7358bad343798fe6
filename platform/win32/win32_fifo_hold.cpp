// No FIFOs in the file system here: nothing to hold.
#include "platform/fifo_hold.h"

namespace platform {

FifoHold::FifoHold(const std::string&) {}

FifoHold::~FifoHold() = default;

}  // namespace platform
