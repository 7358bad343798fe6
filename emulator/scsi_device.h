// One SCSI device as a transport sees it: a command goes in, a status and
// sense data come out. The virtual RT-5800B, the fault-injecting wrapper and
// anything else that stands in for a drive implement this interface, so a
// wrapper can sit in front of any of them.
// Threads: Execute may be called from any thread, one command at a time per
// device; it may block (a slow or hung drive).
#pragma once

#include <array>
#include <cstdint>

namespace emulator {

enum class DataDirection { None, In, Out };

// The direction as command logs and traces write it.
inline const char* DirectionName(DataDirection direction) {
  switch (direction) {
    case DataDirection::In:
      return "in";
    case DataDirection::Out:
      return "out";
    default:
      return "none";
  }
}

struct ScsiCommand {
  const uint8_t* cdb = nullptr;
  uint8_t cdbLen = 0;
  DataDirection direction = DataDirection::None;
  uint8_t* data = nullptr;  // In: filled by the device; Out: read by it
  uint32_t dataLen = 0;
};

inline constexpr uint8_t SCSI_GOOD = 0x00;
inline constexpr uint8_t SCSI_CHECK_CONDITION = 0x02;
inline constexpr uint8_t SCSI_BUSY = 0x08;

struct ScsiReply {
  uint8_t status = SCSI_GOOD;
  std::array<uint8_t, 32> sense{};  // fixed format: 0x70, key in byte 2, ASC/ASCQ in 12/13
  uint8_t senseLen = 0;
  uint32_t transferred = 0;  // bytes actually moved
};

class ScsiDevice {
 public:
  virtual ~ScsiDevice() = default;
  // false: the command never reached the device (a failed transport call).
  virtual bool Execute(const ScsiCommand& command, ScsiReply& reply) = 0;
};

}  // namespace emulator
