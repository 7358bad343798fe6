// The drive's side of USB mass storage's bulk-only transport: each command
// comes as a 31-byte command block wrapper (CBW) carrying the whole CDB and
// its length, then its data stage, then a 13-byte command status wrapper
// (CSW) goes back. The drive behind it is any ScsiDevice (the virtual
// RT-5800B behind its fault injector and command-log tap).
//
// REQUEST SENSE is answered here from the last failed command's sense and
// never reaches the drive: it is the host's way of collecting the sense a
// CHECK CONDITION left, which the pass-through interfaces hand back with the
// command itself, so the drive's command log stays the one those produce.
// Threads: one thread at a time (the transport's command loop).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "emulator/scsi_device.h"

namespace emulator {

inline constexpr std::size_t CBW_LENGTH = 31;
inline constexpr std::size_t CSW_LENGTH = 13;
inline constexpr uint8_t CSW_PASSED = 0;
inline constexpr uint8_t CSW_FAILED = 1;
// The command never completed in the drive; the host resets the transport.
inline constexpr uint8_t CSW_PHASE_ERROR = 2;

struct CommandBlock {
  uint32_t tag = 0;
  uint32_t dataLength = 0;
  bool dataIn = false;
  uint8_t lun = 0;
  uint8_t cdbLength = 0;
  std::array<uint8_t, 16> cdb{};
};

// nullopt for anything that is not a valid CBW (length, signature, CDB length).
std::optional<CommandBlock> ParseCommandBlock(const uint8_t* bytes, std::size_t length);
std::array<uint8_t, CSW_LENGTH> FormatCommandStatus(uint32_t tag, uint32_t residue, uint8_t status);

struct CommandAnswer {
  uint8_t status = CSW_PASSED;
  uint32_t residue = 0;
};

class BulkOnlyDrive {
 public:
  explicit BulkOnlyDrive(ScsiDevice& device) : device_(device) {}

  // `data` holds the data-out stage on entry; for a data-in command it holds
  // the data-in stage on return, padded with zeros to the length the host
  // asked for (the residue says how much of it is padding).
  CommandAnswer Perform(const CommandBlock& block, std::vector<uint8_t>& data);

 private:
  CommandAnswer AnswerRequestSense(const CommandBlock& block, std::vector<uint8_t>& data);

  ScsiDevice& device_;
  std::array<uint8_t, 32> lastSense_{};
  uint8_t lastSenseLen_ = 0;
};

}  // namespace emulator
