#include "tests/reliability/random_device.h"

#include <algorithm>

#include "emulator/command_kind.h"

namespace reliability {

bool RandomDevice::Execute(const emulator::ScsiCommand& command, emulator::ScsiReply& reply) {
  reply = emulator::ScsiReply{};
  if (emulator::ClassifyCommand(command.cdb, command.cdbLen) == emulator::CommandKind::Inquiry) {
    if (command.data != nullptr && command.dataLen > 0) {
      std::fill_n(command.data, command.dataLen, uint8_t{' '});
      command.data[0] = RANDOM_DEVICE_TYPE;
    }
    reply.transferred = command.dataLen;
    return true;
  }
  std::lock_guard guard(lock_);
  std::uniform_int_distribution<int> byte(0, 255);
  if (command.direction == emulator::DataDirection::Out && command.data != nullptr) {
    for (uint32_t i = 0; i < command.dataLen; ++i) outSum_ += command.data[i];
  }
  if (command.direction == emulator::DataDirection::In && command.data != nullptr) {
    const uint32_t n = std::uniform_int_distribution<uint32_t>(0, command.dataLen)(random_);
    for (uint32_t i = 0; i < n; ++i) command.data[i] = static_cast<uint8_t>(byte(random_));
    reply.transferred = n;
  }
  const int roll = std::uniform_int_distribution<int>(0, 9)(random_);
  if (roll < 5) return true;
  if (roll < 9) {
    reply.status = emulator::SCSI_CHECK_CONDITION;
    reply.senseLen = static_cast<uint8_t>(std::uniform_int_distribution<int>(0, 32)(random_));
    for (uint8_t& b : reply.sense) b = static_cast<uint8_t>(byte(random_));
    return true;
  }
  reply.status = emulator::SCSI_BUSY;
  return true;
}

uint64_t RandomDevice::OutSum() const {
  std::lock_guard guard(lock_);
  return outSum_;
}

}  // namespace reliability
