// The commands a whole flash run must send, written out from the drive's
// command layouts and the fixed upload and sector tables, independently of
// the schedule the procedure walks.
// Threads: any (pure functions).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "emulator/command_log.h"

namespace flash_tests {

struct ExpectedCommand {
  std::vector<uint8_t> cdb;  // 12 bytes
  emulator::DataDirection direction = emulator::DataDirection::None;
  uint32_t length = 0;
  std::string what;  // for failure messages
};

struct ExpectedChecksums {
  uint8_t part1[2];
  uint8_t part2[2];
};

// The two checksums as the container stores them, read straight from its bytes.
ExpectedChecksums StoredChecksums(const std::vector<uint8_t>& container);

// 43 commands for unit 0, then 18 for unit 1, or 19 with the repeated
// flash-mode-on.
std::vector<ExpectedCommand> ExpectedRun(const ExpectedChecksums& sums, bool flashOnRepeated);

// Positions in ExpectedRun(..., false).
inline constexpr std::size_t AT_FLASH_ON_0 = 0;
inline constexpr std::size_t AT_FIRST_UPLOAD_0 = 1;
inline constexpr std::size_t AT_VERIFY_0 = 19;
inline constexpr std::size_t AT_FIRST_ERASE_0 = 20;
inline constexpr std::size_t AT_FIRST_PROGRAM_0 = 31;
inline constexpr std::size_t AT_FLASH_OFF_0 = 42;
inline constexpr std::size_t AT_FLASH_ON_1 = 43;
inline constexpr std::size_t AT_FIRST_UPLOAD_1 = 44;
inline constexpr std::size_t AT_VERIFY_1 = 51;
inline constexpr std::size_t AT_ERASE_UNIT_1 = 52;
inline constexpr std::size_t AT_FIRST_PROGRAM_1 = 53;
inline constexpr std::size_t AT_FLASH_OFF_1 = 60;
inline constexpr std::size_t COMMANDS_IN_RUN = 61;

// Where each part lies in the container and how much of it a run uploads
// (data and checksum, not the tag), and where it lands in the drive's flash.
inline constexpr std::size_t PART1_AT = 0;
inline constexpr std::size_t PART2_AT = 0x7B004;
inline constexpr std::size_t PART1_UPLOADED = 0x7B000;
inline constexpr std::size_t PART2_UPLOADED = 0x20000;
inline constexpr uint32_t PART1_FLASH_AT = 0x5000;
inline constexpr uint32_t PART2_FLASH_AT = 0x240000;

std::vector<uint8_t> Slice(const std::vector<uint8_t>& bytes, std::size_t from, std::size_t length);

// Compares what a drive received with the expectation, entry by entry,
// including the adapter; reports every difference.
void ExpectCommands(const std::vector<emulator::CommandLogEntry>& sent,
                    const std::vector<ExpectedCommand>& expected, uint32_t adapter);

}  // namespace flash_tests
