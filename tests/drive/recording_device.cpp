#include "tests/drive/recording_device.h"

#include "platform/lock.h"

namespace drive_tests {

bool RecordingDevice::Execute(const emulator::ScsiCommand& command, emulator::ScsiReply& reply) {
  {
    platform::LockGuard guard(lock_);
    commands_.push_back({std::vector<uint8_t>(command.cdb, command.cdb + command.cdbLen), command.direction,
                         command.data, command.dataLen});
  }
  return inner_.Execute(command, reply);
}

std::vector<RecordedCommand> RecordingDevice::Commands() const {
  platform::LockGuard guard(lock_);
  return commands_;
}

}  // namespace drive_tests
