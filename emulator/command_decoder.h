// Reads a CDB the way the RT-5800B does: the command kind, its fields, and
// whether everything the drive does not use is zero and the data transfer
// fits the command. A malformed command is refused before it does anything.
// Threads: any (pure function).
#pragma once

#include <cstdint>
#include <variant>

#include "emulator/command_kind.h"
#include "emulator/flash_controller.h"
#include "emulator/scsi_device.h"
#include "emulator/sense_data.h"

namespace emulator {

inline constexpr uint8_t VENDOR_CDB_LEN = 12;
inline constexpr uint8_t INQUIRY_CDB_LEN = 6;
inline constexpr uint32_t MAX_READ_LENGTH = 2048;

struct DecodedCommand {
  CommandKind kind = CommandKind::Other;
  uint8_t unit = 0;
  uint32_t address = 0;  // upload (24 bits) and read (32 bits)
  uint32_t length = 0;   // bytes: upload data, read reply, or INQUIRY allocation
  uint16_t mask = 0;     // sector commands
  FlashCode code{};      // flash mode
  uint8_t checksum[2] = {};
};

using Decoded = std::variant<DecodedCommand, Refusal>;

Decoded DecodeCommand(const ScsiCommand& command);

}  // namespace emulator
