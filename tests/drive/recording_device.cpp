#include "tests/drive/recording_device.h"

namespace drive_tests {

bool RecordingDevice::Execute(const emulator::ScsiCommand& command, emulator::ScsiReply& reply) {
  {
    std::lock_guard guard(lock_);
    commands_.push_back({std::vector<uint8_t>(command.cdb, command.cdb + command.cdbLen), command.direction,
                         command.data, command.dataLen});
  }
  return inner_.Execute(command, reply);
}

std::vector<RecordedCommand> RecordingDevice::Commands() const {
  std::lock_guard guard(lock_);
  return commands_;
}

}  // namespace drive_tests
