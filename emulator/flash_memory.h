// The flash cells of both units, with the semantics of NOR flash: an erase
// sets a whole sector to 0xFF, a program can only clear bits (the cell
// becomes old AND new), so programming a sector that was not erased leaves a
// corrupt result instead of the new data.
// The cells hold what they were made with from the start, but each chunk is
// made when it is first touched: a drive that is only asked for its family
// reply (start-up) never pays for the rest of its 640 KiB.
// Threads: none of its own; the owning drive serialises access.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "emulator/flash_layout.h"

namespace emulator {

class FlashMemory {
 public:
  static constexpr uint32_t MAKING_CHUNK = 0x1000;
  // Writes what the cells [address, address + length) hold at manufacture:
  // address lies a whole number of chunks from its unit's base, and length
  // is at most one chunk.
  using CellMaker = std::function<void(uint32_t address, uint8_t* out, uint32_t length)>;

  // Without a maker every cell starts erased (0xFF).
  explicit FlashMemory(CellMaker maker = {});

  // [address, address + length) must lie inside one unit (UnitHolding).
  void Read(uint32_t address, uint32_t length, uint8_t* out) const;
  // Raw store, bypassing flash semantics: what the cells hold at manufacture.
  void Write(uint32_t address, const uint8_t* data, uint32_t length);
  void Erase(const Sector& sector);
  // `source` holds the sector's new contents (sector.size bytes).
  void Program(const Sector& sector, const uint8_t* source);

 private:
  uint8_t* Cells(uint32_t address, uint32_t length);
  const uint8_t* Cells(uint32_t address, uint32_t length) const;
  // Makes the chunks first..last of the unit that are not made yet.
  void MakeChunks(uint8_t unit, uint32_t first, uint32_t last) const;

  CellMaker maker_;
  // Not initialised: a chunk's cells are written when it is made.
  std::unique_ptr<uint8_t[]> units_[UNIT_COUNT];
  mutable std::vector<bool> made_[UNIT_COUNT];
};

}  // namespace emulator
