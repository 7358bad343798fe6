// Where the RT-5800B's flash lies and which sector each bit of a sector mask
// names.
//
// Unit 0 spans 0x00000-0x7FFFF. Its first 0x5000 bytes are the boot area,
// which no mask names and nothing writes; bit 13 = 0x5000, bit 14 = 0x6000,
// bit 15 = 0x7000 (4 KiB each), bit 0 = 0x8000 (32 KiB), bits 1-7 = 0x10000 x
// bit (64 KiB each).
// Unit 1 spans 0x240000-0x25FFFF in seven sectors named by bits 8-14, of 8, 4,
// 4, 16, 32, 32 and 32 KiB.
// Each unit's last two bytes hold the checksum of the bytes from its first
// sector up to them.
// Threads: any (constants and pure functions).
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace emulator {

inline constexpr uint8_t UNIT_COUNT = 2;
inline constexpr uint32_t UPLOAD_BLOCK_SIZE = 4096;

struct UnitRange {
  uint32_t base;      // first address of the unit
  uint32_t size;      // bytes from base
  uint32_t writable;  // first address a sector covers (above the boot area)
};

inline constexpr UnitRange UNIT_RANGES[UNIT_COUNT] = {
    {0x00000, 0x80000, 0x05000},
    {0x240000, 0x20000, 0x240000},
};

struct Sector {
  uint8_t bit;
  uint32_t address;
  uint32_t size;
};

// The sector a single mask bit names in a unit; nullopt when the bit names none.
std::optional<Sector> SectorForBit(uint8_t unit, uint8_t bit);
// Every sector of a unit, in address order.
std::vector<Sector> SectorsOf(uint8_t unit);
// The unit whose address range holds [address, address + length); nullopt
// when no single unit does.
std::optional<uint8_t> UnitHolding(uint32_t address, uint32_t length);

}  // namespace emulator
