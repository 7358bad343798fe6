#include "tests/firmware/flash_expected.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace flash_tests {

namespace {

using emulator::DataDirection;

struct Block {
  uint32_t address;
  uint8_t count;
};

// Upload schedules, as tables: unit 0 from 0x5000, unit 1 from 0x240000.
const Block UNIT0_BLOCKS[] = {{0x5000, 1},  {0x6000, 1},  {0x7000, 1},  {0x8000, 8},  {0x10000, 8},
                              {0x18000, 8}, {0x20000, 8}, {0x28000, 8}, {0x30000, 8}, {0x38000, 8},
                              {0x40000, 8}, {0x48000, 8}, {0x50000, 8}, {0x58000, 8}, {0x60000, 8},
                              {0x68000, 8}, {0x70000, 8}, {0x78000, 8}};
const Block UNIT1_BLOCKS[] = {{0x240000, 2}, {0x242000, 1}, {0x243000, 1}, {0x244000, 4},
                              {0x248000, 8}, {0x250000, 8}, {0x258000, 8}};
const uint16_t UNIT0_MASKS[] = {0x2000, 0x4000, 0x8000, 0x0001, 0x0002, 0x0004,
                                0x0008, 0x0010, 0x0020, 0x0040, 0x0080};
const uint16_t UNIT1_MASKS[] = {0x0100, 0x0200, 0x0400, 0x0800, 0x1000, 0x2000, 0x4000};

ExpectedCommand FlashMode(uint8_t unit, bool on) {
  return {{0xCC, static_cast<uint8_t>(unit * 16 + 1), static_cast<uint8_t>(on ? 1 : 0), 0, 'W', '2', '7', '4',
           0, 0, 0, 0},
          DataDirection::None,
          0,
          std::string(on ? "flash-on" : "flash-off") + " unit " + std::to_string(unit)};
}

ExpectedCommand Upload(uint8_t unit, const Block& b) {
  return {{0xCB, static_cast<uint8_t>(unit * 16 + 1), 0, static_cast<uint8_t>(b.address >> 16),
           static_cast<uint8_t>(b.address >> 8), static_cast<uint8_t>(b.address), 0, 0, b.count, 0, 0, 0},
          DataDirection::Out,
          b.count * 4096u,
          "upload " + std::to_string(b.address)};
}

ExpectedCommand Verify(uint8_t unit, const uint8_t sum[2]) {
  return {{0xCC, static_cast<uint8_t>(unit * 16 + 4), sum[0], sum[1], 0, 0, 0, 0, 0, 0, 0, 0},
          DataDirection::None,
          0,
          "verify unit " + std::to_string(unit)};
}

ExpectedCommand Sector(uint8_t unit, uint8_t mode, uint16_t mask) {
  return {{0xCB, static_cast<uint8_t>(unit * 16 + mode), 0, 0, 0, 0, 0, static_cast<uint8_t>(mask >> 8),
           static_cast<uint8_t>(mask), 0, 0, 0},
          DataDirection::None,
          0,
          "sector mode " + std::to_string(mode) + " mask " + std::to_string(mask)};
}

}  // namespace

ExpectedChecksums StoredChecksums(const std::vector<uint8_t>& container) {
  return {{container.at(0x7AFFE), container.at(0x7AFFF)}, {container.at(0x9B002), container.at(0x9B003)}};
}

std::vector<ExpectedCommand> ExpectedRun(const ExpectedChecksums& sums, bool flashOnRepeated) {
  std::vector<ExpectedCommand> run;
  run.push_back(FlashMode(0, true));
  for (const Block& b : UNIT0_BLOCKS) run.push_back(Upload(0, b));
  run.push_back(Verify(0, sums.part1));
  for (uint16_t mask : UNIT0_MASKS) run.push_back(Sector(0, 4, mask));
  for (uint16_t mask : UNIT0_MASKS) run.push_back(Sector(0, 2, mask));
  run.push_back(FlashMode(0, false));
  run.push_back(FlashMode(1, true));
  if (flashOnRepeated) run.push_back(FlashMode(1, true));
  for (const Block& b : UNIT1_BLOCKS) run.push_back(Upload(1, b));
  run.push_back(Verify(1, sums.part2));
  run.push_back(Sector(1, 8, 0));
  for (uint16_t mask : UNIT1_MASKS) run.push_back(Sector(1, 2, mask));
  run.push_back(FlashMode(1, false));
  return run;
}

std::vector<uint8_t> Slice(const std::vector<uint8_t>& bytes, std::size_t from, std::size_t length) {
  return {bytes.begin() + static_cast<std::ptrdiff_t>(from),
          bytes.begin() + static_cast<std::ptrdiff_t>(from + length)};
}

void ExpectCommands(const std::vector<emulator::CommandLogEntry>& sent,
                    const std::vector<ExpectedCommand>& expected, uint32_t adapter) {
  EXPECT_EQ(sent.size(), expected.size());
  for (std::size_t i = 0; i < std::min(sent.size(), expected.size()); ++i) {
    SCOPED_TRACE("command " + std::to_string(i) + ": " + expected[i].what);
    EXPECT_EQ(sent[i].adapter, adapter);
    EXPECT_EQ(sent[i].cdb, expected[i].cdb);
    EXPECT_EQ(sent[i].direction, expected[i].direction);
    EXPECT_EQ(sent[i].length, expected[i].length);
  }
}

}  // namespace flash_tests
