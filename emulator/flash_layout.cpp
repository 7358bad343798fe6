#include "emulator/flash_layout.h"

#include <algorithm>

namespace emulator {

std::optional<Sector> SectorForBit(uint8_t unit, uint8_t bit) {
  if (unit == 0) {
    if (bit >= 13 && bit <= 15) return Sector{bit, 0x5000u + 0x1000u * (bit - 13u), 0x1000};
    if (bit == 0) return Sector{bit, 0x8000, 0x8000};
    if (bit >= 1 && bit <= 7) return Sector{bit, 0x10000u * bit, 0x10000};
    return std::nullopt;
  }
  if (unit == 1) {
    struct Unit1Sector {
      uint32_t address;
      uint32_t size;
    };
    static constexpr Unit1Sector SECTORS[] = {{0x240000, 0x2000}, {0x242000, 0x1000}, {0x243000, 0x1000},
                                              {0x244000, 0x4000}, {0x248000, 0x8000}, {0x250000, 0x8000},
                                              {0x258000, 0x8000}};
    if (bit >= 8 && bit <= 14) return Sector{bit, SECTORS[bit - 8].address, SECTORS[bit - 8].size};
  }
  return std::nullopt;
}

std::vector<Sector> SectorsOf(uint8_t unit) {
  std::vector<Sector> sectors;
  for (uint8_t bit = 0; bit < 16; ++bit) {
    if (auto sector = SectorForBit(unit, bit)) sectors.push_back(*sector);
  }
  std::sort(sectors.begin(), sectors.end(),
            [](const Sector& a, const Sector& b) { return a.address < b.address; });
  return sectors;
}

std::optional<uint8_t> UnitHolding(uint32_t address, uint32_t length) {
  for (uint8_t unit = 0; unit < UNIT_COUNT; ++unit) {
    const UnitRange& range = UNIT_RANGES[unit];
    const uint64_t end = uint64_t{address} + length;
    if (address >= range.base && end <= uint64_t{range.base} + range.size) return unit;
  }
  return std::nullopt;
}

}  // namespace emulator
