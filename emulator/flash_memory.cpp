#include "emulator/flash_memory.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace emulator {

FlashMemory::FlashMemory(CellMaker maker) : maker_(std::move(maker)) {
  for (uint8_t unit = 0; unit < UNIT_COUNT; ++unit) {
    const uint32_t size = UNIT_RANGES[unit].size;
    units_[unit].reset(new uint8_t[size]);
    made_[unit].assign((size + MAKING_CHUNK - 1) / MAKING_CHUNK, false);
  }
}

uint8_t* FlashMemory::Cells(uint32_t address, uint32_t length) {
  return const_cast<uint8_t*>(static_cast<const FlashMemory&>(*this).Cells(address, length));
}

const uint8_t* FlashMemory::Cells(uint32_t address, uint32_t length) const {
  const auto unit = UnitHolding(address, length);
  if (!unit) throw std::out_of_range("flash range outside both units");
  const uint32_t offset = address - UNIT_RANGES[*unit].base;
  if (length > 0) MakeChunks(*unit, offset / MAKING_CHUNK, (offset + length - 1) / MAKING_CHUNK);
  return units_[*unit].get() + offset;
}

void FlashMemory::MakeChunks(uint8_t unit, uint32_t first, uint32_t last) const {
  const UnitRange& range = UNIT_RANGES[unit];
  for (uint32_t chunk = first; chunk <= last; ++chunk) {
    if (made_[unit][chunk]) continue;
    const uint32_t start = chunk * MAKING_CHUNK;
    const uint32_t size = std::min(MAKING_CHUNK, range.size - start);
    uint8_t* const cells = units_[unit].get() + start;
    if (maker_)
      maker_(range.base + start, cells, size);
    else
      std::fill(cells, cells + size, uint8_t{0xFF});
    made_[unit][chunk] = true;
  }
}

void FlashMemory::Read(uint32_t address, uint32_t length, uint8_t* out) const {
  std::memcpy(out, Cells(address, length), length);
}

void FlashMemory::Write(uint32_t address, const uint8_t* data, uint32_t length) {
  std::memcpy(Cells(address, length), data, length);
}

void FlashMemory::Erase(const Sector& sector) {
  // A chunk the erase covers whole is not made first only to be erased.
  if (const auto unit = UnitHolding(sector.address, sector.size)) {
    const uint32_t offset = sector.address - UNIT_RANGES[*unit].base;
    const uint32_t end = offset + sector.size;
    for (uint32_t chunk = (offset + MAKING_CHUNK - 1) / MAKING_CHUNK; (chunk + 1) * MAKING_CHUNK <= end;
         ++chunk)
      made_[*unit][chunk] = true;
  }
  uint8_t* cells = Cells(sector.address, sector.size);
  std::fill(cells, cells + sector.size, uint8_t{0xFF});
}

void FlashMemory::Program(const Sector& sector, const uint8_t* source) {
  uint8_t* cells = Cells(sector.address, sector.size);
  for (uint32_t i = 0; i < sector.size; ++i) cells[i] &= source[i];
}

}  // namespace emulator
