#include "firmware/container_format.h"

#include <algorithm>

uint16_t PartChecksum(std::span<const uint8_t> data) {
  uint32_t sum = 0;
  std::size_t i = 0;
  for (; i + 1 < data.size(); i += 2) sum += (uint32_t{data[i]} << 8) | data[i + 1];
  if (i < data.size()) sum += uint32_t{data[i]} << 8;
  return static_cast<uint16_t>(sum & 0xFFFF);
}

ChecksumBytes StoredChecksum(uint16_t sum) {
  return {static_cast<uint8_t>(sum >> 8), static_cast<uint8_t>(sum & 0xFF)};
}

bool TagAccepted(const FamilyTag& tag) { return tag == FAMILY_TAG; }

bool VersionAccepted(const VersionChars& version) { return version[1] == '0'; }

std::string CarriedVersion(const VersionChars& version) {
  return {static_cast<char>(version[0]), '.', static_cast<char>(version[1]), static_cast<char>(version[2])};
}

namespace {

template <std::size_t N>
std::array<uint8_t, N> Take(std::span<const uint8_t> container, std::size_t offset) {
  std::array<uint8_t, N> out{};
  std::copy_n(container.begin() + static_cast<std::ptrdiff_t>(offset), N, out.begin());
  return out;
}

std::span<const uint8_t> LastContainer(std::span<const uint8_t> bytes) {
  return bytes.subspan(bytes.size() - CONTAINER_SIZE, CONTAINER_SIZE);
}

}  // namespace

std::optional<ContainerFields> ParseContainer(std::span<const uint8_t> bytes) {
  if (bytes.size() < CONTAINER_SIZE) return std::nullopt;
  const auto c = LastContainer(bytes);
  ContainerFields f;
  f.part1Checksum = Take<CHECKSUM_SIZE>(c, PART1_CHECKSUM_OFFSET);
  f.part1Tag = Take<FAMILY_TAG_SIZE>(c, PART1_TAG_OFFSET);
  f.part1Version = Take<VERSION_CHARS>(c, PART1_DATA_OFFSET + VERSION_OFFSET_IN_PART);
  f.part2Checksum = Take<CHECKSUM_SIZE>(c, PART2_CHECKSUM_OFFSET);
  f.part2Tag = Take<FAMILY_TAG_SIZE>(c, PART2_TAG_OFFSET);
  f.part2Version = Take<VERSION_CHARS>(c, PART2_DATA_OFFSET + VERSION_OFFSET_IN_PART);
  return f;
}

Verdict Judge(const ContainerFields& fields) {
  if (!TagAccepted(fields.part1Tag)) return Verdict::WrongTag;
  if (!VersionAccepted(fields.part1Version)) return Verdict::WrongVersion;
  return Verdict::Accepted;
}

RecomputedChecksums RecomputeChecksums(std::span<const uint8_t> container) {
  const auto c = LastContainer(container);
  return {StoredChecksum(PartChecksum(c.subspan(PART1_DATA_OFFSET, PART1_DATA_SIZE))),
          StoredChecksum(PartChecksum(c.subspan(PART2_DATA_OFFSET, PART2_DATA_SIZE)))};
}

void SetVersionChars(std::span<uint8_t> partData, const VersionChars& version) {
  std::copy(version.begin(), version.end(), partData.begin() + VERSION_OFFSET_IN_PART);
}

VersionChars GetVersionChars(std::span<const uint8_t> partData) {
  return Take<VERSION_CHARS>(partData, VERSION_OFFSET_IN_PART);
}

namespace {

// One part: its data, its stored checksum, the family tag.
void AppendPart(std::vector<uint8_t>& out, std::span<const uint8_t> data) {
  out.insert(out.end(), data.begin(), data.end());
  const ChecksumBytes sum = StoredChecksum(PartChecksum(data));
  out.insert(out.end(), sum.begin(), sum.end());
  out.insert(out.end(), FAMILY_TAG.begin(), FAMILY_TAG.end());
}

}  // namespace

std::vector<uint8_t> BuildContainer(std::span<const uint8_t> part1Data, std::span<const uint8_t> part2Data) {
  if (part1Data.size() != PART1_DATA_SIZE || part2Data.size() != PART2_DATA_SIZE) return {};
  std::vector<uint8_t> out;
  out.reserve(CONTAINER_SIZE);
  AppendPart(out, part1Data);
  AppendPart(out, part2Data);
  return out;
}

std::vector<uint8_t> SyntheticPartData(int part, const VersionChars& version) {
  std::vector<uint8_t> data(part == 1 ? PART1_DATA_SIZE : PART2_DATA_SIZE);
  // xorshift32 with a fixed seed per part: the same bytes on every build.
  uint32_t state = part == 1 ? 0x5A0F1E2Du : 0x3C96A5E1u;
  for (auto& byte : data) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    byte = static_cast<uint8_t>(state >> 24);
  }
  SetVersionChars(data, version);
  return data;
}

std::vector<uint8_t> SyntheticContainer(const VersionChars& version) {
  return BuildContainer(SyntheticPartData(1, version), SyntheticPartData(2, version));
}
