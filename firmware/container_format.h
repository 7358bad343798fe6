// Byte layout of the firmware container that travels at the end of the
// program's own executable file, its checksum rule and its acceptance rule.
// The program's start-up check and the packer share this one description, so
// what the packer calls acceptable is exactly what the program accepts.
// Pure functions over bytes: no files, no UI.
// Threads: any (no shared state).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

// Sizes, in bytes.
inline constexpr std::size_t CONTAINER_SIZE = 0x9B008;   // 634,888
inline constexpr std::size_t PART1_DATA_SIZE = 0x7AFFE;  // 503,806
inline constexpr std::size_t PART2_DATA_SIZE = 0x1FFFE;  // 131,070
inline constexpr std::size_t CHECKSUM_SIZE = 2;
inline constexpr std::size_t FAMILY_TAG_SIZE = 4;
inline constexpr std::size_t VERSION_CHARS = 3;
inline constexpr std::size_t PART1_SIZE = PART1_DATA_SIZE + CHECKSUM_SIZE + FAMILY_TAG_SIZE;  // 0x7B004
inline constexpr std::size_t PART2_SIZE = PART2_DATA_SIZE + CHECKSUM_SIZE + FAMILY_TAG_SIZE;  // 0x20004

// Offsets from the container's first byte.
inline constexpr std::size_t PART1_DATA_OFFSET = 0;
inline constexpr std::size_t PART1_CHECKSUM_OFFSET = PART1_DATA_OFFSET + PART1_DATA_SIZE;  // 0x7AFFE
inline constexpr std::size_t PART1_TAG_OFFSET = PART1_CHECKSUM_OFFSET + CHECKSUM_SIZE;     // 0x7B000
inline constexpr std::size_t PART2_DATA_OFFSET = PART1_TAG_OFFSET + FAMILY_TAG_SIZE;       // 0x7B004
inline constexpr std::size_t PART2_CHECKSUM_OFFSET = PART2_DATA_OFFSET + PART2_DATA_SIZE;  // 0x9B002
inline constexpr std::size_t PART2_TAG_OFFSET = PART2_CHECKSUM_OFFSET + CHECKSUM_SIZE;     // 0x9B004
// Inside each part's data: byte 0 is not interpreted, bytes 1..3 are c1 c2 c3.
inline constexpr std::size_t VERSION_OFFSET_IN_PART = 1;

static_assert(PART2_TAG_OFFSET + FAMILY_TAG_SIZE == CONTAINER_SIZE);
static_assert(PART1_SIZE == 0x7B004 && PART2_SIZE == 0x20004);

// The same positions counted back from the end of the file that carries the
// container; the program addresses the fields this way. Part one's tag is
// read straight after its checksum, so it sits 131,080 bytes from the end.
inline constexpr std::size_t FromEnd(std::size_t offset) { return CONTAINER_SIZE - offset; }
inline constexpr std::size_t PART1_CHECKSUM_FROM_END = FromEnd(PART1_CHECKSUM_OFFSET);  // 131,082
inline constexpr std::size_t PART1_TAG_FROM_END = FromEnd(PART1_TAG_OFFSET);            // 131,080
inline constexpr std::size_t PART2_CHECKSUM_FROM_END = FromEnd(PART2_CHECKSUM_OFFSET);  // 6
inline constexpr std::size_t PART2_TAG_FROM_END = FromEnd(PART2_TAG_OFFSET);            // 4
inline constexpr std::size_t PART1_VERSION_FROM_END = FromEnd(PART1_DATA_OFFSET + VERSION_OFFSET_IN_PART);

static_assert(PART1_CHECKSUM_FROM_END == 0x2000A && PART1_TAG_FROM_END == 0x20008);
static_assert(PART2_CHECKSUM_FROM_END == 6 && PART2_TAG_FROM_END == 4);

inline constexpr std::array<uint8_t, FAMILY_TAG_SIZE> FAMILY_TAG = {'R', '5', '8', '0'};

using ChecksumBytes = std::array<uint8_t, CHECKSUM_SIZE>;
using FamilyTag = std::array<uint8_t, FAMILY_TAG_SIZE>;
using VersionChars = std::array<uint8_t, VERSION_CHARS>;

// Sum, modulo 65,536, of the data read as 16-bit big-endian words. An odd
// trailing byte counts as the high byte of a last word whose low byte is 0
// (no container part has one).
uint16_t PartChecksum(std::span<const uint8_t> data);
// High byte first, as stored.
ChecksumBytes StoredChecksum(uint16_t sum);

// Part one's tag must be "R580", all four bytes.
bool TagAccepted(const FamilyTag& tag);
// c2 == '0' is the only test on the version characters.
bool VersionAccepted(const VersionChars& version);
// The carried version text c1 '.' c2 c3 (4 bytes, may contain any byte).
std::string CarriedVersion(const VersionChars& version);

// The fields of a container, as they stand in its bytes.
struct ContainerFields {
  ChecksumBytes part1Checksum{};
  FamilyTag part1Tag{};
  VersionChars part1Version{};
  ChecksumBytes part2Checksum{};
  FamilyTag part2Tag{};
  VersionChars part2Version{};
};

// The fields of the container occupying the last CONTAINER_SIZE bytes of
// `bytes`; nothing when the range is shorter than a container.
std::optional<ContainerFields> ParseContainer(std::span<const uint8_t> bytes);

enum class Verdict {
  Accepted,
  TooShort,      // fewer bytes than a container
  WrongTag,      // part one's tag is not "R580"
  WrongVersion,  // tag matches, c2 is not '0'
};
// The program's start-up decision, in its order: tag first, then version.
Verdict Judge(const ContainerFields& fields);

// Both checksums recomputed from the part data in the last CONTAINER_SIZE
// bytes of `bytes` (which must hold a whole container).
struct RecomputedChecksums {
  ChecksumBytes part1{};
  ChecksumBytes part2{};
};
RecomputedChecksums RecomputeChecksums(std::span<const uint8_t> container);

// Writes the version characters into bytes 1..3 of a part's data.
void SetVersionChars(std::span<uint8_t> partData, const VersionChars& version);
VersionChars GetVersionChars(std::span<const uint8_t> partData);

// A whole container from the two parts' data images (exactly PART1_DATA_SIZE
// and PART2_DATA_SIZE bytes; the version characters are those inside the
// images), with both checksums computed and both tags "R580". Empty when a
// size is wrong.
std::vector<uint8_t> BuildContainer(std::span<const uint8_t> part1Data, std::span<const uint8_t> part2Data);

// Deterministic demonstration firmware: part data of the right size filled
// from a fixed generator (part 1 or 2), carrying the given version characters.
std::vector<uint8_t> SyntheticPartData(int part, const VersionChars& version);
// Both synthetic parts assembled by BuildContainer.
std::vector<uint8_t> SyntheticContainer(const VersionChars& version);
