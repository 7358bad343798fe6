// Fixed-format sense data (response code 0x70, sense key in byte 2, ASC and
// ASCQ in bytes 12 and 13) and the causes for which the virtual drive refuses
// a command. Every cause has its own key/ASC/ASCQ triple so that a test can
// tell from the sense data alone why the drive refused.
// Threads: any (pure functions).
#pragma once

#include <cstdint>
#include <string_view>

#include "emulator/scsi_device.h"

namespace emulator {

inline constexpr uint8_t SENSE_RESPONSE_CODE = 0x70;
inline constexpr uint8_t SENSE_DATA_LEN = 18;

inline constexpr uint8_t SENSE_KEY_NO_SENSE = 0x0;
inline constexpr uint8_t SENSE_KEY_ILLEGAL_REQUEST = 0x5;
inline constexpr uint8_t SENSE_KEY_UNIT_ATTENTION = 0x6;
inline constexpr uint8_t SENSE_KEY_MISCOMPARE = 0xE;

enum class Refusal : uint8_t {
  InvalidOpcode,         // 05/20/00
  InvalidField,          // 05/24/00: a mode, unit, reserved byte or CDB length that is not allowed
  WrongFlashCode,        // 05/24/80
  MaskNamesNoSector,     // 05/24/81: no bit, several bits, or a bit the unit does not have
  AddressOutOfRange,     // 05/21/00: outside the unit, or into the boot area
  TransferMismatch,      // 05/1A/00: data direction or length does not fit the CDB
  NotInFlashMode,        // 05/2C/00: the unit's flash mode is off
  OtherUnitInFlashMode,  // 05/2C/80
  UploadIncomplete,      // 05/2C/81: checksum asked before the whole unit was uploaded
  NotVerified,           // 05/2C/82: erase or program before a passed checksum check
  UploadAfterErase,      // 05/2C/83: staging changed under sectors already touched
  ChecksumMismatch,      // 0E/1D/80
  CompareMismatch,       // 0E/1D/00: flash differs from what was uploaded at flash-mode-off
  ControllerRestarted,   // 06/29/00: unit attention after the controller restart
};

struct SenseCode {
  uint8_t key;
  uint8_t asc;
  uint8_t ascq;
};

SenseCode SenseCodeFor(Refusal refusal);
std::string_view RefusalName(Refusal refusal);

// Makes `reply` a CHECK CONDITION with fixed-format sense. `byte2` is written
// whole (key in the low four bits, flag bits above), so any value 0..255 can
// be reported.
void SetCheckCondition(ScsiReply& reply, uint8_t byte2, uint8_t asc, uint8_t ascq);
void SetRefusal(ScsiReply& reply, Refusal refusal);

}  // namespace emulator
