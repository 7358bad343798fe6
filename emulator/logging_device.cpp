#include "emulator/logging_device.h"

namespace emulator {

LoggingDevice::LoggingDevice(ScsiDevice& inner, CommandLog& log, uint32_t adapter)
    : inner_(inner), log_(log), adapter_(adapter) {}

bool LoggingDevice::Execute(const ScsiCommand& command, ScsiReply& reply) {
  log_.Append(MakeLogEntry(adapter_, command));
  return inner_.Execute(command, reply);
}

}  // namespace emulator
