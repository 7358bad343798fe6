// The drive's flash-mode state machine, one session per unit.
//
// A session starts with flash-mode-on (right code, other unit not in flash
// mode; on again for the same unit starts afresh). Uploads fill two images of
// the unit: what arrived from the host, which the checksum check and the
// final compare use, and the programming buffer, which program commands write
// from. In a sound drive both hold the same bytes; a drive that loses uploaded
// data (SetLosesUploadedData) keeps only the first, which the compare at
// flash-mode-off then catches.
// The checksum check needs the whole unit uploaded; erase and program need a
// passed checksum check; uploads are refused once a sector has been erased or
// programmed; flash-mode-off compares every sector with the upload when any
// was touched and stays in flash mode on a mismatch.
// Threads: none of its own; the owning drive serialises access.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "emulator/flash_memory.h"
#include "emulator/sense_data.h"

namespace emulator {

using FlashCode = std::array<uint8_t, 4>;
using Outcome = std::optional<Refusal>;  // nullopt: done

class FlashController {
 public:
  FlashController(FlashMemory& memory, FlashCode code);

  Outcome FlashOn(uint8_t unit, const FlashCode& code);
  Outcome FlashOff(uint8_t unit, const FlashCode& code);
  Outcome Upload(uint8_t unit, uint32_t address, const uint8_t* data, uint32_t length);
  Outcome Verify(uint8_t unit, uint8_t high, uint8_t low);
  Outcome Erase(uint8_t unit, uint16_t mask);
  Outcome EraseUnit(uint8_t unit, uint16_t mask);
  Outcome Program(uint8_t unit, uint16_t mask);

  bool InFlashMode(uint8_t unit) const { return sessions_[unit].active; }
  void SetLosesUploadedData(bool loses) { losesUploadedData_ = loses; }

 private:
  struct Session {
    bool active = false;
    bool verified = false;
    bool touched = false;  // a sector was erased or programmed
    std::vector<uint8_t> received;
    std::vector<uint8_t> staging;
    std::vector<bool> uploaded;  // per upload block of the unit
  };

  void StartSession(uint8_t unit);
  Outcome ReadyToWrite(uint8_t unit) const;
  std::optional<Sector> SectorForMask(uint8_t unit, uint16_t mask) const;
  bool WholeUnitUploaded(uint8_t unit) const;
  bool FlashMatchesUpload(uint8_t unit) const;

  FlashMemory& memory_;
  FlashCode code_;
  bool losesUploadedData_ = false;
  std::array<Session, UNIT_COUNT> sessions_;
};

// The sum, modulo 65536, of `length` bytes read as 16-bit big-endian words.
uint16_t WordSum(const uint8_t* data, uint32_t length);

}  // namespace emulator
