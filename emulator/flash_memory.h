// The flash cells of both units, with the semantics of NOR flash: an erase
// sets a whole sector to 0xFF, a program can only clear bits (the cell
// becomes old AND new), so programming a sector that was not erased leaves a
// corrupt result instead of the new data.
// Threads: none of its own; the owning drive serialises access.
#pragma once

#include <cstdint>
#include <vector>

#include "emulator/flash_layout.h"

namespace emulator {

class FlashMemory {
 public:
  FlashMemory();

  // [address, address + length) must lie inside one unit (UnitHolding).
  void Read(uint32_t address, uint32_t length, uint8_t* out) const;
  // Raw store, bypassing flash semantics: what the cells hold at manufacture.
  void Write(uint32_t address, const uint8_t* data, uint32_t length);
  // The same, for contents made in place: [address, address + length) as
  // in Read, for the caller to fill before the memory is used.
  uint8_t* Manufacture(uint32_t address, uint32_t length) { return Cells(address, length); }
  void Erase(const Sector& sector);
  // `source` holds the sector's new contents (sector.size bytes).
  void Program(const Sector& sector, const uint8_t* source);

 private:
  uint8_t* Cells(uint32_t address, uint32_t length);
  const uint8_t* Cells(uint32_t address, uint32_t length) const;

  std::vector<uint8_t> units_[UNIT_COUNT];
};

}  // namespace emulator
