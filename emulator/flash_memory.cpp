#include "emulator/flash_memory.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace emulator {

FlashMemory::FlashMemory() {
  for (uint8_t unit = 0; unit < UNIT_COUNT; ++unit) units_[unit].assign(UNIT_RANGES[unit].size, 0xFF);
}

uint8_t* FlashMemory::Cells(uint32_t address, uint32_t length) {
  return const_cast<uint8_t*>(static_cast<const FlashMemory&>(*this).Cells(address, length));
}

const uint8_t* FlashMemory::Cells(uint32_t address, uint32_t length) const {
  const auto unit = UnitHolding(address, length);
  if (!unit) throw std::out_of_range("flash range outside both units");
  return units_[*unit].data() + (address - UNIT_RANGES[*unit].base);
}

void FlashMemory::Read(uint32_t address, uint32_t length, uint8_t* out) const {
  std::memcpy(out, Cells(address, length), length);
}

void FlashMemory::Write(uint32_t address, const uint8_t* data, uint32_t length) {
  std::memcpy(Cells(address, length), data, length);
}

void FlashMemory::Erase(const Sector& sector) {
  uint8_t* cells = Cells(sector.address, sector.size);
  std::fill(cells, cells + sector.size, uint8_t{0xFF});
}

void FlashMemory::Program(const Sector& sector, const uint8_t* source) {
  uint8_t* cells = Cells(sector.address, sector.size);
  for (uint32_t i = 0; i < sector.size; ++i) cells[i] &= source[i];
}

}  // namespace emulator
