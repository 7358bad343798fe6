// What a flash run sends, stage by stage: the upload blocks of each part, the
// sector masks of the erase and program passes, and the flash-mode code.
// The procedure (flash_procedure.h) walks these records; nothing here talks
// to a drive.
// Threads: any (constants).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "firmware/container_format.h"
#include "firmware/container_info.h"

inline constexpr std::array<uint8_t, 4> FLASH_MODE_CODE = {'W', '2', '7', '4'};
inline constexpr uint32_t FLASH_BLOCK_BYTES = 4096;

// One upload command: `blockCount` 4 KB units for drive address `address`,
// taken from `partOffset` bytes into the part.
struct UploadPlan {
  uint32_t address;
  uint8_t blockCount;
  uint32_t partOffset;
};

// Blocks laid back to back from `firstAddress`, each starting where the one
// before ended, in the drive and in the part alike.
template <std::size_t N>
constexpr std::array<UploadPlan, N> ContiguousUploads(uint32_t firstAddress,
                                                      const std::array<uint8_t, N>& counts) {
  std::array<UploadPlan, N> plans{};
  uint32_t offset = 0;
  for (std::size_t i = 0; i < N; ++i) {
    plans[i] = {firstAddress + offset, counts[i], offset};
    offset += counts[i] * FLASH_BLOCK_BYTES;
  }
  return plans;
}

template <std::size_t N>
constexpr uint32_t UploadedBytes(const std::array<UploadPlan, N>& plans) {
  return plans[N - 1].partOffset + plans[N - 1].blockCount * FLASH_BLOCK_BYTES;
}

// Part one, unit 0: three single blocks, then fifteen of eight.
inline constexpr std::array<UploadPlan, 18> STAGE_ONE_UPLOADS =
    ContiguousUploads<18>(0x5000, {1, 1, 1, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8});
// Part two, unit 1.
inline constexpr std::array<UploadPlan, 7> STAGE_TWO_UPLOADS =
    ContiguousUploads<7>(0x240000, {2, 1, 1, 4, 8, 8, 8});

// Each stage uploads its part's data and checksum, never the family tag behind them.
static_assert(UploadedBytes(STAGE_ONE_UPLOADS) == PART1_DATA_SIZE + CHECKSUM_SIZE);
static_assert(UploadedBytes(STAGE_TWO_UPLOADS) == PART2_DATA_SIZE + CHECKSUM_SIZE);
static_assert(STAGE_ONE_UPLOADS[17].address == 0x78000 && STAGE_TWO_UPLOADS[6].address == 0x258000);

// Unit 0's erase and program passes use the same masks: after the third the
// mask restarts at bit 0 instead of doubling on to 0x10000.
inline constexpr std::array<uint16_t, 11> STAGE_ONE_MASKS = {0x2000, 0x4000, 0x8000, 0x0001, 0x0002, 0x0004,
                                                             0x0008, 0x0010, 0x0020, 0x0040, 0x0080};
// Unit 1 is programmed with plain doubling masks after one whole-unit erase.
inline constexpr std::array<uint16_t, 7> STAGE_TWO_MASKS = {0x0100, 0x0200, 0x0400, 0x0800,
                                                            0x1000, 0x2000, 0x4000};

enum class EraseKind {
  PerSector,  // one erase command per program mask
  WholeUnit,  // one erase-unit command
};

// What a failed first flash-mode-on leads to.
enum class FlashOnFailure {
  EndRun,
  // Sent once more when the drive reported unit attention (its controller
  // restarted after the previous unit's flash mode ended); any other failure
  // is passed over and the uploads follow.
  RetryAfterUnitAttention,
};

struct FlashStage {
  uint8_t unit;
  std::size_t imageOffset;  // where the part starts in ContainerImage
  std::span<const UploadPlan> uploads;
  EraseKind erase;
  std::span<const uint16_t> masks;
  FlashOnFailure flashOnFailure;
  uint8_t (ContainerInfo::*checksum)[CHECKSUM_SIZE];  // the copy kept by the start-up check
};

inline constexpr FlashStage STAGE_ONE = {
    .unit = 0,
    .imageOffset = PART1_DATA_OFFSET,
    .uploads = STAGE_ONE_UPLOADS,
    .erase = EraseKind::PerSector,
    .masks = STAGE_ONE_MASKS,
    .flashOnFailure = FlashOnFailure::EndRun,
    .checksum = &ContainerInfo::part1Checksum,
};
inline constexpr FlashStage STAGE_TWO = {
    .unit = 1,
    .imageOffset = PART2_DATA_OFFSET,
    .uploads = STAGE_TWO_UPLOADS,
    .erase = EraseKind::WholeUnit,
    .masks = STAGE_TWO_MASKS,
    .flashOnFailure = FlashOnFailure::RetryAfterUnitAttention,
    .checksum = &ContainerInfo::part2Checksum,
};
