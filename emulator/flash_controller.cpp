#include "emulator/flash_controller.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace emulator {

uint16_t WordSum(const uint8_t* data, uint32_t length) {
  uint32_t sum = 0;
  for (uint32_t i = 0; i + 1 < length; i += 2) sum += (uint32_t{data[i]} << 8) | data[i + 1];
  return static_cast<uint16_t>(sum);
}

FlashController::FlashController(FlashMemory& memory, FlashCode code) : memory_(memory), code_(code) {}

void FlashController::StartSession(uint8_t unit) {
  Session& s = sessions_[unit];
  const UnitRange& range = UNIT_RANGES[unit];
  s.active = true;
  s.verified = false;
  s.touched = false;
  s.received.assign(range.size, 0xFF);
  s.staging.assign(range.size, 0xFF);
  s.uploaded.assign(range.size / UPLOAD_BLOCK_SIZE, false);
}

Outcome FlashController::FlashOn(uint8_t unit, const FlashCode& code) {
  if (code != code_) return Refusal::WrongFlashCode;
  for (uint8_t other = 0; other < UNIT_COUNT; ++other) {
    if (other != unit && sessions_[other].active) return Refusal::OtherUnitInFlashMode;
  }
  StartSession(unit);
  return std::nullopt;
}

Outcome FlashController::FlashOff(uint8_t unit, const FlashCode& code) {
  if (code != code_) return Refusal::WrongFlashCode;
  Session& s = sessions_[unit];
  if (!s.active) return Refusal::NotInFlashMode;
  if (s.touched && !FlashMatchesUpload(unit)) return Refusal::CompareMismatch;
  s = Session{};
  return std::nullopt;
}

Outcome FlashController::Upload(uint8_t unit, uint32_t address, const uint8_t* data, uint32_t length) {
  Session& s = sessions_[unit];
  if (!s.active) return Refusal::NotInFlashMode;
  const UnitRange& range = UNIT_RANGES[unit];
  if (UnitHolding(address, length) != unit || address < range.writable) return Refusal::AddressOutOfRange;
  if (address % UPLOAD_BLOCK_SIZE != 0) return Refusal::InvalidField;
  if (s.touched) return Refusal::UploadAfterErase;
  const uint32_t offset = address - range.base;
  std::memcpy(s.received.data() + offset, data, length);
  if (!losesUploadedData_) std::memcpy(s.staging.data() + offset, data, length);
  for (uint32_t block = offset / UPLOAD_BLOCK_SIZE; block < (offset + length) / UPLOAD_BLOCK_SIZE; ++block)
    s.uploaded[block] = true;
  s.verified = false;
  return std::nullopt;
}

bool FlashController::WholeUnitUploaded(uint8_t unit) const {
  const Session& s = sessions_[unit];
  const UnitRange& range = UNIT_RANGES[unit];
  const auto first = s.uploaded.begin() + (range.writable - range.base) / UPLOAD_BLOCK_SIZE;
  return std::all_of(first, s.uploaded.end(), [](bool b) { return b; });
}

Outcome FlashController::Verify(uint8_t unit, uint8_t high, uint8_t low) {
  Session& s = sessions_[unit];
  if (!s.active) return Refusal::NotInFlashMode;
  if (!WholeUnitUploaded(unit)) return Refusal::UploadIncomplete;
  const UnitRange& range = UNIT_RANGES[unit];
  const uint32_t first = range.writable - range.base;
  const uint32_t checksumAt = range.size - 2;
  const uint16_t expected = static_cast<uint16_t>((high << 8) | low);
  const bool sumMatches = WordSum(s.received.data() + first, checksumAt - first) == expected;
  const bool storedMatches = s.received[checksumAt] == high && s.received[checksumAt + 1] == low;
  s.verified = sumMatches && storedMatches;
  return s.verified ? Outcome{} : Outcome{Refusal::ChecksumMismatch};
}

Outcome FlashController::ReadyToWrite(uint8_t unit) const {
  const Session& s = sessions_[unit];
  if (!s.active) return Refusal::NotInFlashMode;
  if (!s.verified) return Refusal::NotVerified;
  return std::nullopt;
}

std::optional<Sector> FlashController::SectorForMask(uint8_t unit, uint16_t mask) const {
  if (std::popcount(mask) != 1) return std::nullopt;
  return SectorForBit(unit, static_cast<uint8_t>(std::countr_zero(mask)));
}

Outcome FlashController::Erase(uint8_t unit, uint16_t mask) {
  if (Outcome refused = ReadyToWrite(unit)) return refused;
  const auto sector = SectorForMask(unit, mask);
  if (!sector) return Refusal::MaskNamesNoSector;
  memory_.Erase(*sector);
  sessions_[unit].touched = true;
  return std::nullopt;
}

Outcome FlashController::EraseUnit(uint8_t unit, uint16_t mask) {
  if (mask != 0) return Refusal::InvalidField;
  if (Outcome refused = ReadyToWrite(unit)) return refused;
  for (const Sector& sector : SectorsOf(unit)) memory_.Erase(sector);
  sessions_[unit].touched = true;
  return std::nullopt;
}

Outcome FlashController::Program(uint8_t unit, uint16_t mask) {
  if (Outcome refused = ReadyToWrite(unit)) return refused;
  const auto sector = SectorForMask(unit, mask);
  if (!sector) return Refusal::MaskNamesNoSector;
  Session& s = sessions_[unit];
  memory_.Program(*sector, s.staging.data() + (sector->address - UNIT_RANGES[unit].base));
  s.touched = true;
  return std::nullopt;
}

bool FlashController::FlashMatchesUpload(uint8_t unit) const {
  const Session& s = sessions_[unit];
  std::vector<uint8_t> cells;
  for (const Sector& sector : SectorsOf(unit)) {
    cells.resize(sector.size);
    memory_.Read(sector.address, sector.size, cells.data());
    const uint8_t* uploaded = s.received.data() + (sector.address - UNIT_RANGES[unit].base);
    if (!std::equal(cells.begin(), cells.end(), uploaded)) return false;
  }
  return true;
}

}  // namespace emulator
