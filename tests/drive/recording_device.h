// A device in front of another that keeps each command exactly as it
// arrived, including where its data lay, so that tests can check the CDB, the
// transfer and that an upload was sent from the caller's own buffer.
// Threads: any; the records are locked.
#pragma once

#include <vector>

#include "emulator/scsi_device.h"
#include "platform/lock.h"

namespace drive_tests {

struct RecordedCommand {
  std::vector<uint8_t> cdb;
  emulator::DataDirection direction = emulator::DataDirection::None;
  const uint8_t* data = nullptr;
  uint32_t dataLen = 0;
};

class RecordingDevice final : public emulator::ScsiDevice {
 public:
  explicit RecordingDevice(emulator::ScsiDevice& inner) : inner_(inner) {}
  bool Execute(const emulator::ScsiCommand& command, emulator::ScsiReply& reply) override;
  std::vector<RecordedCommand> Commands() const;

 private:
  emulator::ScsiDevice& inner_;
  mutable platform::Mutex lock_;
  std::vector<RecordedCommand> commands_;
};

}  // namespace drive_tests
